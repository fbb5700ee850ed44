// Databases: the index of a database file and the phases of a chemical
// system loaded from it (pelkam/database.hpp).
#include "python/binding.hpp"

namespace pelkam::python {
namespace {

std::string joined(const std::vector<std::string>& symbols) {
    std::string out;
    for (const std::string& s : symbols) out += (out.empty() ? "" : " ") + s;
    return out;
}

// The elements given as "K AL SI O H" or as a list of symbols.
std::string elementLine(const py::object& elements) {
    if (py::isinstance<py::str>(elements)) return elements.cast<std::string>();
    return joined(elements.cast<std::vector<std::string>>());
}

// Columns of the phases (index, name, abbreviation, formula, kind): a table
// for pandas.DataFrame or csv.
py::dict phaseTable(const std::vector<PhaseInfo>& phases, const std::vector<std::string>& elements) {
    py::list index, name, abbreviation, formula, kind;
    for (std::size_t i = 0; i < phases.size(); ++i) {
        const PhaseInfo& p = phases[i];
        index.append(i);
        name.append(p.name);
        abbreviation.append(p.abbreviation);
        formula.append(formulaText(p, elements));
        kind.append(static_cast<PhaseKind>(p.kind));
    }
    return py::dict("index"_a = index, "name"_a = name, "abbreviation"_a = abbreviation, "formula"_a = formula,
                    "kind"_a = kind);
}

py::object found(const PhaseInfo* p) { return p == nullptr ? py::object(py::none()) : py::cast(*p); }

}  // namespace

int phaseIndex(const Database& database, const py::handle& phase) {
    if (py::isinstance<py::str>(phase)) {
        const std::string text = phase.cast<std::string>();
        const int i = database.find(text);
        if (i < 0)
            raiseRequest("unknown phase '" + text + "': no abbreviation or name among the phases loaded from " +
                             database.file() + " matches it",
                         text);
        return i;
    }
    if (py::isinstance<PhaseInfo>(phase)) {
        const PhaseInfo& info = phase.cast<const PhaseInfo&>();
        const int i = database.indexOf(info);
        if (i < 0) raiseRequest("phase " + info.name + " is not loaded in this database", info.name);
        return i;
    }
    const int i = phase.cast<int>();
    if (i < 0 || i >= database.phaseCount())
        throw py::index_error("phase index " + std::to_string(i) + " out of range: the database has " +
                              std::to_string(database.phaseCount()) + " phases");
    return i;
}

void bindDatabase(py::module_& m) {
    py::enum_<DiagramType>(m, "DiagramType", "The diagram types; x and y are the horizontal and vertical axes.")
        .value("PT", DiagramType::PT, "x temperature (C), y pressure (bar)")
        .value("TxCO2", DiagramType::TxCO2, "x mole fraction of CO2 in the H2O-CO2 fluid, y temperature (C)")
        .value("PxCO2", DiagramType::PxCO2, "x mole fraction of CO2, y pressure (bar)")
        .value("ActivityT", DiagramType::ActivityT, "x log10 activity, y temperature (C)")
        .value("ActivityP", DiagramType::ActivityP, "x log10 activity, y pressure (bar)")
        .value("ActivityActivity", DiagramType::ActivityActivity, "x and y log10 activities");

    py::enum_<PhaseKind>(m, "PhaseKind", "What a phase is.")
        .value("MINERAL", kMineral)
        .value("WATER", kWater)
        .value("CARBON_DIOXIDE", kCarbonDioxide)
        .value("OXYGEN_GAS", kOxygenGas)
        .value("HYDROGEN_GAS", kHydrogenGas)
        .value("SULFUR_GAS", kSulfurGas)
        .value("OTHER_GAS", kOtherGas, "a gas kept only as the variable of an activity axis")
        .value("AQUEOUS_PLAIN", kAqueousPlain, "an aqueous species without a chemical potential routine")
        .value("AQUEOUS_HELGESON", kAqueousHelgeson, "an aqueous species of Helgeson et al. (1981)")
        .value("AQUEOUS_TANGER", kAqueousTanger, "an aqueous species of Tanger and Helgeson (1988)");

    py::class_<FluidRoutines> routines(m, "FluidRoutines",
                                       "The routines of the fluid species.\n"
                                       "water: 1 Haar, Gallagher and Kell (1984), 2 Kerrick and Jacobs (1981) modified\n"
                                       "       Redlich-Kwong, 3 Holland and Powell (1989) fugacity polynomial;\n"
                                       "co2:   1 Kovan and Tessel (1991), 2 Kerrick and Jacobs (1981), 3 Holland and\n"
                                       "       Powell (1989);\n"
                                       "mixing (H2O-CO2): 1 Kerrick and Jacobs (1981), 2 ideal, 3 Holland and Powell\n"
                                       "       (1990) asymmetric.");
    keywordInit(routines);
    routines.def_readwrite("water", &FluidRoutines::water)
        .def_readwrite("co2", &FluidRoutines::co2)
        .def_readwrite("mixing", &FluidRoutines::mixing)
        .def("__repr__", [](const FluidRoutines& r) {
            return "FluidRoutines(water=" + std::to_string(r.water) + ", co2=" + std::to_string(r.co2) +
                   ", mixing=" + std::to_string(r.mixing) + ")";
        });

    py::class_<LoadOptions> load(m, "LoadOptions", "How a database is loaded.");
    keywordInit(load);
    load.def_readwrite("diagram_type", &LoadOptions::diagramType,
                       "aqueous species are loaded for activity diagrams only")
        .def_readwrite("routines", &LoadOptions::routines,
                       "the fluid routines the phases will be evaluated with (under water routine 1 the\n"
                       "water phase's own database values are cleared, as in a run)")
        .def_readwrite("aqueous_file", &LoadOptions::aqueousFile, "the aqueous data file; empty: none");

    py::class_<PhaseInfo>(m, "PhaseInfo",
                          "One phase of a database file.  composition: atoms per formula unit, one per element\n"
                          "of the database or index it belongs to (its `elements`).")
        .def_readonly("name", &PhaseInfo::name)
        .def_readonly("abbreviation", &PhaseInfo::abbreviation,
                      "as in the file; aqueous species: the name's first 8 characters")
        .def_property_readonly("kind", [](const PhaseInfo& p) { return static_cast<PhaseKind>(p.kind); })
        .def_readonly("line", &PhaseInfo::line, "line of the phase's header in its data file")
        .def_readonly("composition", &PhaseInfo::composition)
        .def_readonly("file", &PhaseInfo::file, "the database, or the aqueous data file")
        .def("__repr__", [](const PhaseInfo& p) { return "<PhaseInfo " + p.abbreviation + " " + p.name + ">"; });

    m.def("formula", [](const PhaseInfo& phase, const std::vector<std::string>& elements) {
        return formulaText(phase, elements);
    }, "phase"_a, "elements"_a,
          "The formula of `phase` in the notation of the database files, e.g. 'SI(3)AL(3)K(1)O(12)H(2)'\n"
          "for muscovite: the elements (those its composition is given over: Database.elements or\n"
          "DatabaseIndex.elements) with a non-zero number of atoms per formula unit, in that order\n"
          "except that O and then H come last.");

    py::class_<DatabaseIndex>(m, "DatabaseIndex",
                              "What a database file holds: its elements and every phase header, without loading\n"
                              "anything.")
        .def_readonly("file", &DatabaseIndex::file)
        .def_readonly("aqueous_file", &DatabaseIndex::aqueousFile)
        .def_readonly("elements", &DatabaseIndex::elements, "element symbols in the order of the file's header")
        .def_readonly("phases", &DatabaseIndex::phases, "in file order (the database's, then the aqueous file's)")
        .def_readonly("messages", &DatabaseIndex::messages, "the warnings the reader wrote, in its own words")
        .def("find", [](const DatabaseIndex& index, const std::string& text) { return found(index.find(text)); },
             "text"_a,
             "The phase written as `text`: the first with that abbreviation, else the first with that\n"
             "name (any letter case, runs of blanks counting as one).  None when there is none.")
        .def("table", [](const DatabaseIndex& index) { return phaseTable(index.phases, index.elements); },
             "The phases as columns index, name, abbreviation, formula and kind (pandas.DataFrame(...)).")
        .def("__len__", [](const DatabaseIndex& index) { return index.phases.size(); });

    m.def("index_database", [](const std::string& path, const std::string& aqueousFile) {
        return take(indexDatabase(path, aqueousFile));
    }, "path"_a, "aqueous_file"_a = "",
          "Reads the element header and every phase header of the database file at `path`, then the\n"
          "species headers of the aqueous data file (if given).  Raises FileError when a file cannot be\n"
          "opened, DataError when a header or formula is malformed.");

    m.def("system_elements", [](const DatabaseIndex& index, const py::list& phases) {
        std::vector<PhaseInfo> chosen;
        for (const py::handle& p : phases) {
            if (py::isinstance<PhaseInfo>(p)) {
                chosen.push_back(p.cast<PhaseInfo>());
                continue;
            }
            const std::string text = p.cast<std::string>();
            const PhaseInfo* found = index.find(text);
            if (found == nullptr)
                raiseRequest("unknown phase '" + text + "': no abbreviation or name in " + index.file + " matches it",
                             text);
            chosen.push_back(*found);
        }
        return systemElements(index, chosen);
    }, "index"_a, "phases"_a,
          "The elements of the smallest chemical system that holds `phases` (PhaseInfo, names or\n"
          "abbreviations) and lets the calculator load at least two phases of minerals and gases, in\n"
          "the order of the file's header.");

    py::class_<Database>(m, "Database",
                         "The phases of a chemical system loaded from a database file, as a run of the calculator\n"
                         "has them (load_database).  Energies J/mol, entropies J/(mol K), volumes J/bar in the\n"
                         "data; reference state 298.15 K and 1 bar.  Immutable.")
        .def_property_readonly("file", &Database::file)
        .def_property_readonly("elements", &Database::elements, "the elements of the system, in header order")
        .def_property_readonly("options", &Database::options)
        .def_property_readonly("phases", &Database::phases, "the loaded phases, in load order")
        .def_property_readonly("messages", &Database::messages, "the warnings the loader wrote")
        .def_property_readonly("index", &Database::index, "the index of the loaded phases")
        .def("__len__", &Database::phaseCount)
        .def("__getitem__", [](const Database& db, const py::object& phase) { return db.phase(phaseIndex(db, phase)); },
             "The phase at an index (load order) or written as a name or abbreviation.")
        .def("find", [](const Database& db, const std::string& text) {
            const int i = db.find(text);
            return i < 0 ? py::object(py::none()) : py::object(py::int_(i));
        }, "text"_a, "The index of the loaded phase written as `text` (DatabaseIndex.find's rule), or None.")
        .def("index_of", [](const Database& db, const PhaseInfo& p) {
            const int i = db.indexOf(p);
            return i < 0 ? py::object(py::none()) : py::object(py::int_(i));
        }, "phase"_a, "The index of the loaded phase with this header (of a DatabaseIndex entry), or None.")
        .def("formula", [](const Database& db, const py::object& phase) {
            return formulaText(db.phase(phaseIndex(db, phase)), db.elements());
        }, "phase"_a, "The formula of a phase (index, name or abbreviation), as pelkam.formula writes it.")
        .def("table", [](const Database& db) { return phaseTable(db.phases(), db.elements()); },
             "The loaded phases as columns index, name, abbreviation, formula and kind\n"
             "(pandas.DataFrame(db.table()) makes a table of them).")
        .def("__repr__", [](const Database& db) {
            return "<Database " + db.file() + ": " + joined(db.elements()) + ", " + std::to_string(db.phaseCount()) +
                   " phases>";
        });

    m.def("load_database", [](const std::string& path, const py::object& elements, DiagramType type,
                              const FluidRoutines& routines, const std::string& aqueousFile) {
        LoadOptions options;
        options.diagramType = type;
        options.routines = routines;
        options.aqueousFile = aqueousFile;
        return take(loadDatabase(path, elementLine(elements), options));
    }, "path"_a, "elements"_a, "diagram_type"_a = DiagramType::PT, "routines"_a = FluidRoutines{},
          "aqueous_file"_a = "",
          "Loads the phases of the chemical system of `elements` ('K AL SI O H', or a list of\n"
          "symbols; on T-xCO2 and P-xCO2 diagrams 'H O C' is put in front) from the database file at\n"
          "`path`, as a run does.  routines: the fluid routines (FluidRoutines) the phases will be\n"
          "evaluated with.  aqueous_file: species for activity diagrams.  Raises FileError when a file\n"
          "cannot be opened, DataError when the loader stops (an unknown element, more than 15\n"
          "components, fewer than two phases, a malformed record) with the loader's messages.");
}

}  // namespace pelkam::python
