// The property summary of a run: the elements, the compositions of the
// phases and the database terms of every solid, gas and aqueous species,
// written once per run to the master output in fixed-column records.
#pragma once
#include <span>

#include "core/status.hpp"
#include "io/streams.hpp"
#include "model/chemical_system.hpp"
#include "model/fluid_choice.hpp"
#include "model/phase.hpp"

namespace io {

// Writes the whole report to `unit` of `streams` for the first `phaseCount`
// phases of `phases` (the main phases followed by the code-4 phases, in list
// order) and the elements of `sys`, with the log10 activity of each phase
// (`logActivity`, one per phase).  `fluid` chooses the notes written under
// the water and carbon dioxide lines.
//
// Everything is checked before the first record is written: a phase count,
// element count or disorder/transition reference out of range, or a unit that
// is not open, returns an Error status and writes nothing.  A record that
// cannot be written returns an Error naming the unit's file.
core::Status writePropertySummary(Streams& streams, int unit, const model::ChemicalSystem& sys,
                                  const model::PhaseTable& phases, std::span<const double> logActivity,
                                  const model::FluidModelChoice& fluid, int phaseCount);

}  // namespace io
