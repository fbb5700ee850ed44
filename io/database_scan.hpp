// A look through the phase header lines of a database file without loading
// anything: which phases the file holds, in which section, and the elements
// of their formulae.  Used to choose a chemical system before the load.
#pragma once
#include <array>
#include <functional>
#include <string>

#include "core/status.hpp"
#include "io/streams.hpp"
#include "model/chemical_system.hpp"
#include "model/phase.hpp"

namespace io {

struct ScannedPhase {
    std::string name = std::string(20, ' ');         // blank-padded
    std::string abbreviation = std::string(8, ' ');  // aqueous species: the name's first 8 characters
    // The kind the loader gives the phase: 0 minerals; 1 to 5 the five gases
    // it knows by name; kAxisGas for any other gas (the loader keeps such a
    // gas only as the variable of an activity axis); -1, -2, -3 aqueous
    // species (loaded for activity diagrams only).
    int kind = model::kMineral;
    int line = 0;  // line number of the header in the file
    // Formula coefficients, one per element of the element table.
    std::array<double, model::kMaxElements> coefficients{};
};

using ScanVisitor = std::function<void(const ScannedPhase&)>;

// Reads `unit` from its current position (just after the element header,
// which `system` holds) to "*STOP", "*END" or the end of the file, and calls
// `visit` for every phase header line of every known section, aqueous
// sections included, in file order.  Unknown sections are skipped as the
// loader skips them.  A header or formula error writes its message block to
// `messages` and returns its Stop status (file and line set).  The unit is
// left where the scan ended; the caller rewinds it.
core::Status scanPhaseHeaders(Streams& streams, int unit, const model::ChemicalSystem& system, int messages,
                                 const ScanVisitor& visit);

}  // namespace io
