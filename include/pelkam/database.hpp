// Thermodynamic databases: what a database file holds, and the phases of a
// chemical system loaded from it as the calculator loads them.
//
// Units of the loaded data: energies J/mol, entropies J/(mol K), volumes
// J/bar; the reference state is 298.15 K and 1 bar.
#pragma once
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "pelkam/error.hpp"

namespace pelkam {

// A chemical system has at most this many components (elements).
constexpr int kMaxComponents = 15;

// The diagram types.  x and y are the horizontal and vertical axes.
enum class DiagramType : int {
    PT = 0,                // x temperature (C), y pressure (bar)
    TxCO2 = 1,             // x mole fraction of CO2 in the H2O-CO2 fluid, y temperature (C)
    PxCO2 = 2,             // x mole fraction of CO2, y pressure (bar)
    ActivityT = 4,         // x log10 activity, y temperature (C)
    ActivityP = 5,         // x log10 activity, y pressure (bar)
    ActivityActivity = 6,  // x and y log10 activities
};

// The routines of the fluid species, each 1, 2 or 3.
struct FluidRoutines {
    // 1 Haar, Gallagher and Kell (1984), 2 Kerrick and Jacobs (1981) modified
    // Redlich-Kwong, 3 Holland and Powell (89) fugacity polynomial.
    int water = 1;
    // 1 Kovan and Tessel (91) equation of state, 2 Kerrick and Jacobs (1981),
    // 3 Holland and Powell (89) fugacity polynomial.
    int co2 = 1;
    // H2O-CO2 mixing: 1 Kerrick and Jacobs (1981), 2 ideal, 3 Holland and
    // Powell (90) asymmetric.
    int mixing = 1;
};

// Phase kinds.
enum PhaseKind : int {
    kMineral = 0,
    kWater = 1,
    kCarbonDioxide = 2,
    kOxygenGas = 3,
    kHydrogenGas = 4,
    kSulfurGas = 5,
    kOtherGas = 99,  // a gas kept only as the variable of an activity axis
    // Aqueous species: the section's model keyword.
    kAqueousPlain = -1,     // none: no chemical potential routine
    kAqueousHelgeson = -2,  // HELGESON, Helgeson et al. (1981)
    kAqueousTanger = -3,    // TANGER, Tanger and Helgeson (1988)
};

// A phase name or abbreviation in the form names are compared in: upper
// case, without surrounding blanks, runs of blanks made single.
std::string phaseNameKey(std::string_view text);

// One phase of a database file.
struct PhaseInfo {
    std::string name;          // as in the file, without trailing blanks
    std::string abbreviation;  // the same; aqueous species: the name's first 8 characters
    int kind = kMineral;       // PhaseKind, or -1..-3 for aqueous species
    int line = 0;              // line of the phase's header in its data file
    // Atoms per formula unit, one per element of the index or database the
    // phase belongs to (its `elements`).
    std::vector<double> composition;
    // The data file of the header: the database, or the aqueous data file.
    std::string file;
    bool sameHeader(const PhaseInfo& other) const {
        return line == other.line && kind == other.kind && file == other.file && name == other.name &&
               abbreviation == other.abbreviation;
    }
};

// The formula of `phase` in the notation of the database files, e.g.
// "SI(3)AL(3)K(1)O(12)H(2)" for muscovite: every element of `elements` (the
// elements its composition is given over, DatabaseIndex::elements or
// Database::elements) with a non-zero number of atoms per formula unit, in
// that order except that O and then H come last; numbers to six
// significant digits.
std::string formulaText(const PhaseInfo& phase, std::span<const std::string> elements);

// What a database file holds: its elements and every phase header, without
// loading anything.
struct DatabaseIndex {
    std::string file;
    std::string aqueousFile;            // the aqueous data file indexed with it; empty: none
    std::vector<std::string> elements;  // element symbols in the order of the file's header
    std::vector<PhaseInfo> phases;      // in file order (the database's, then the aqueous data file's)
    std::vector<std::string> messages;  // the warnings the reader wrote, in its own words

    // The phase written as `text`: the first one with that abbreviation,
    // else the first with that name (upper and lower case alike, runs of
    // blanks counting as one).  nullptr when there is none.
    const PhaseInfo* find(std::string_view text) const;
};

// Reads the element header and every phase header of the database file at
// `path`, then the species headers of the aqueous data file `aqueousFile`
// (if given; it has no element header of its own).  Errors: File when a file
// cannot be opened (why: "no such file", "not a regular file" or "cannot
// read"), Data when a header or formula is malformed (with the reader's
// message block).
Result<DatabaseIndex> indexDatabase(const std::string& path, const std::string& aqueousFile = {});

// The element of the database header (position 31, the charge E in the
// usual header) whose presence in a chemical system calls for the aqueous
// data file.
constexpr int kAqueousSwitchElement = 30;

// The elements of the smallest chemical system that holds `phases` and lets
// the calculator load at least two phases of minerals and gases: the
// elements of the phases, widened by those of the phases that come first in
// the file while fewer than two would load.  In the order of the file's
// header; the caller checks the count against kMaxComponents.  A species
// of the aqueous data file brings in H, O and the element that calls for the
// file (kAqueousSwitchElement), when the header has it.
std::vector<std::string> systemElements(const DatabaseIndex& index, std::span<const PhaseInfo> phases);

struct LoadOptions {
    DiagramType diagramType = DiagramType::PT;  // aqueous species are loaded for activity diagrams only
    // The routines the phases will be evaluated with (under water routine 1
    // the water phase's own database values are cleared, as in a run).
    FluidRoutines routines;
    std::string aqueousFile;  // the aqueous data file; empty: none
};

namespace detail {
struct DatabaseData;
}

// The phases of a chemical system loaded from a database file, as a run of
// the calculator has them.  Immutable; copies share the data.
class Database {
public:
    const std::string& file() const;
    // The elements of the system, in the order of the file's header.
    const std::vector<std::string>& elements() const;
    const LoadOptions& options() const;
    int phaseCount() const;
    // Phase `index` (0-based, load order); its composition is given over elements().
    const PhaseInfo& phase(int index) const;
    const std::vector<PhaseInfo>& phases() const;
    // The loaded phase written as `text` (the rule of DatabaseIndex::find
    // among the loaded phases), or -1.
    int find(std::string_view text) const;
    // The loaded phase with this header (name, abbreviation, kind and line of
    // a DatabaseIndex entry), or -1 when the load left it out (a phase whose
    // enthalpy the file marks as missing, or outside the system).
    int indexOf(const PhaseInfo& phase) const;
    // The warnings the loader wrote, in its own words.
    const std::vector<std::string>& messages() const;
    // The whole index of the loaded phases (file, system elements, phases).
    const DatabaseIndex& index() const;

    const detail::DatabaseData& data() const { return *data_; }
    const std::shared_ptr<const detail::DatabaseData>& shared() const { return data_; }
    explicit Database(std::shared_ptr<const detail::DatabaseData> data) : data_(std::move(data)) {}

private:
    std::shared_ptr<const detail::DatabaseData> data_;
};

// Loads the phases of the chemical system of `elements` (symbols separated by
// blanks or commas, e.g. "K AL SI O H"; on T-xCO2 and P-xCO2 diagrams "H O C"
// is put in front) from the database file at `path`, as a run does.  Errors:
// File when a file cannot be opened, Data when the loader stops (an unknown
// element, more than 15 components, fewer than two phases, a malformed
// record), each with the loader's message block.
Result<Database> loadDatabase(const std::string& path, std::string_view elements, const LoadOptions& options = {});

}  // namespace pelkam
