// The property summary of a run: the elements, the compositions of the
// phases and the database terms of every solid, gas and aqueous species,
// written once per run to the master output in fixed-column records.
#pragma once
#include "records/run_settings.hpp"
#include "records/status.hpp"
#include "records/streams.hpp"
#include "thermodb/chemical_system.hpp"
#include "thermodb/phase.hpp"

namespace solutions {

// Writes the whole report to `unit` of `streams` for the first `phaseCount`
// phases of `phases` (the main phases followed by the code-4 phases, in list
// order) and the elements of `sys`.  `fluid` chooses the notes written under
// the water and carbon dioxide lines.
//
// Everything is checked before the first record is written: a phase count,
// element count or disorder/transition reference out of range, or a unit that
// is not open, returns an Error status and writes nothing.  A record that
// cannot be written returns an Error naming the unit's file.
records::Status writePropertySummary(records::Streams& streams, int unit, const thermodb::ChemicalSystem& sys,
                                     const thermodb::PhaseTable& phases, const records::FluidModelChoice& fluid,
                                     int phaseCount);

}  // namespace solutions
