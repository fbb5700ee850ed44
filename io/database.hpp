// The thermodynamic database file: element header, sections, phase header
// lines and data lines; and the loading of the phases of a chemical system.
#pragma once
#include <string>

#include "core/status.hpp"
#include "io/streams.hpp"
#include "model/chemical_system.hpp"
#include "model/phase.hpp"

namespace io {

// What the loader needs to know of the run.
struct LoadOptions {
    int unitThermo = 3;     // stream of the thermodynamic data file
    int unitAqueous = 4;    // stream of the aqueous data file
    int unitMessages = 6;   // interactive output: messages and warnings
    int diagramType = 0;    // aqueous sections are read for activity diagrams (4, 5, 6) only
    int waterRoutine = 1;   // 1: the water phase's database values are cleared
    bool keepAll = false;   // false drops phases whose ST enthalpy exceeds 999999
    std::string axisText;   // first axis text (20 characters) of activity diagrams
};

// Reads the element header (count and label, symbols, atomic weights) from
// `unit` into the element table.  A malformed header is a Stop status whose
// message names the file, line and field.
core::Status readElementHeader(Streams& streams, int unit, model::ChemicalSystem& system);
// The same, with the message lines of a malformed header written to
// `messages` instead of the interactive output (unit 6).
core::Status readElementHeader(Streams& streams, int unit, model::ChemicalSystem& system, int messages);

// Sets the chemical system from an element line as the user typed it (the
// "H O C " prefix is added for T-xCO2 and P-xCO2 diagrams): builds the
// SYSTEM formula, parses it, sets the system coefficients, the rule for E,
// the position of FE, and counts the components.  Messages go to `messages`
// (stream number) of `streams`.  Returns Stop after the message block for an
// unknown element or more than 15 components.
core::Status setSystemLine(model::ChemicalSystem& system, const std::string& elementLine, int diagramType,
                              Streams& streams, int messages);

// Loads every phase of the database whose elements all belong to the chosen
// system, then applies the post-load steps (volume scaling, compaction of the
// element table, clearing of the water phase under the Haar routine).
// Returns the number of phases in `phases.count`.
core::Status loadDatabase(const LoadOptions& options, Streams& streams, model::ChemicalSystem& system,
                             model::PhaseTable& phases);

// A parsed phase header line.
struct PhaseHeader {
    std::string name = std::string(20, ' ');
    std::string abbreviation = std::string(8, ' ');
    std::array<double, model::kMaxElements> coefficients{};
};

// Parses a phase header line (mode 1: name, formula, abbreviation; mode 0:
// name and formula).  Header and formula errors write their message block to
// `messages` and return Stop; the two truncation warnings are written and
// parsing goes on.
core::Status parsePhaseHeader(const std::string& line, int length, int mode, const model::ChemicalSystem& system,
                                 PhaseHeader& out, Streams& streams, int messages);

// Parses a formula into `row` (cleared first).
core::Status parseFormula(const std::string& formula, const std::string& line, const model::ChemicalSystem& system,
                             std::array<double, model::kMaxElements>& row, Streams& streams, int messages);

}  // namespace io
