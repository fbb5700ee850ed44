// pelkam-props: Gibbs energies of phases and reactions of a thermodynamic
// database at chosen temperatures and pressures, computed with the routines
// the equilibrium calculator uses (the library's public interface).
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/text.hpp"
#include "pelkam/pelkam.hpp"

namespace {

constexpr int kExitDataStop = 1;
constexpr int kExitUsage = 2;
constexpr int kExitNotFinite = 3;
constexpr double kAbsoluteZeroC = -273.15;

void usage(std::FILE* out) {
    std::fprintf(out,
                 "Usage: pelkam-props --db FILE [--aqueous FILE] --T LIST --P LIST\n"
                 "                   [FLUID OPTIONS] [--csv] ITEM...\n"
                 "       pelkam-props --fluid SPECIES --T LIST --P LIST [FLUID OPTIONS] [--csv]\n"
                 "       pelkam-props --help\n"
                 "\n"
                 "Prints the apparent Gibbs energy (J/mol) of phases of a thermodynamic database,\n"
                 "or the Gibbs energy change of reactions among them (J per mole of reaction,\n"
                 "products minus reactants), at every combination of the given temperatures and\n"
                 "pressures, computed with the same routines as pelkam.  With --fluid it prints\n"
                 "the state of a fluid species instead (no database needed).\n"
                 "\n"
                 "Options:\n"
                 "  --db FILE   the thermodynamic database file (for example DEC06.DAT)\n"
                 "  --aqueous FILE\n"
                 "              the aqueous data file (for example aqueous-hkf.aqu): its species\n"
                 "              may be named as items\n"
                 "  --T LIST    temperatures in degrees C, separated by commas: --T 400,600.5\n"
                 "  --P LIST    pressures in bar, separated by commas: --P 1,5000\n"
                 "  --fluid SPECIES\n"
                 "              H2O, CO2, O2, H2 or S2 (upper or lower case; several may be\n"
                 "              given separated by commas: --fluid H2O,CO2)\n"
                 "  --sln FILE  a solution-properties file (for example solution-models.sln)\n"
                 "  --zun FILE  a mineral composition file (for example example-pelite.zun)\n"
                 "  --models LIST\n"
                 "              the solution models to use with their variants, separated by\n"
                 "              commas: --models GARN=GT1990,PLAG=FL88,BIOT (a model without\n"
                 "              '=' takes its first variant); 'all' uses every model of the\n"
                 "              solution file that has a composition in the composition file,\n"
                 "              each with its first variant\n"
                 "  --csv       write comma-separated values instead of aligned columns\n"
                 "  --help      show this help and exit\n"
                 "  (--db=FILE, --T=LIST, --fluid=SPECIES and the like are accepted as well;\n"
                 "  '--' ends the options)\n"
                 "\n"
                 "Fluid options (both forms):\n"
                 "  --xco2 X             mole fraction of CO2 in the H2O-CO2 fluid, 0 to 1\n"
                 "  --water-routine N    1 Haar, Gallagher and Kell (1984) (default)\n"
                 "                       2 Kerrick and Jacobs (1981) modified Redlich-Kwong\n"
                 "                       3 Holland and Powell (89) fugacity polynomial\n"
                 "  --co2-routine N      1 Kovan and Tessel (91) equation of state (default)\n"
                 "                       2 Kerrick and Jacobs (1981) modified Redlich-Kwong\n"
                 "                       3 Holland and Powell (89) fugacity polynomial\n"
                 "  --mixing N           H2O-CO2 mixing: 1 Kerrick and Jacobs (1981) (default),\n"
                 "                       2 ideal, 3 Holland and Powell (90) asymmetric\n"
                 "\n"
                 "An ITEM is a phase, given by its abbreviation or its name (upper and lower case\n"
                 "alike; abbreviations are tried first), or a reaction written with abbreviations\n"
                 "or names and decimal coefficients:\n"
                 "  \"3 Ky = 3 Sil\"   \"Ms + Qz = Kfs + Sil + H2O\"   \"2Ky=2Sil\"   \"0.5 Ky = 0.5 Sil\"\n"
                 "Blanks around + and = are optional; a missing coefficient is 1; fractions such\n"
                 "as 3/2 are not accepted (write 1.5).  A reaction must be balanced in every\n"
                 "element to within 1e-6, the charge (element E) included.  Quote items that\n"
                 "contain blanks.  A '+' written right after a name and followed by nothing but\n"
                 "digits before the next '+', '=' or the end is the charge of an aqueous species:\n"
                 "  \"Qz = SIO2(AQ)\"   \"1.5 Kfs + H+ = 0.5 Ms + 3 Qz + K+\"   \"CA+2 + CL- = CACL+\"\n"
                 "\n"
                 "Every temperature is combined with every pressure (temperature outer, pressure\n"
                 "inner), for each item in the order given.  Output: a header line, then one line\n"
                 "per item and point with the columns item, T_C, P_bar and G_J_per_mol;\n"
                 "temperatures and pressures are printed as given.  With --csv the header is\n"
                 "item,T_C,P_bar,G_J_per_mol and an item containing a comma is quoted.\n"
                 "\n"
                 "The database is loaded for a chemical system made of the elements of the\n"
                 "requested phases.  Water (H2O) and carbon dioxide (CO2) get their full fluid\n"
                 "terms from the chosen routines: R T ln a plus the Haar water energy for water\n"
                 "under water routine 1, R T ln(phi P a) otherwise.  The fluid is the one given\n"
                 "by --xco2; without it, each item's fluid is the pure fluid of the species it\n"
                 "contains, and a reaction containing both H2O and CO2 needs --xco2.  A fluid\n"
                 "species absent from the fluid (for example H2O at --xco2 1) gets the 1,000,000\n"
                 "J/mol that keeps it out of stable assemblages.  Oxygen, hydrogen and sulfur\n"
                 "gas are taken at a fugacity of 1 bar.\n"
                 "\n"
                 "Aqueous species (a species of the aqueous data file, or of an aqueous section\n"
                 "of the database) are taken at unit activity with the routines of the activity\n"
                 "diagrams: the revised equation of state of Tanger and Helgeson (1988) for a\n"
                 "*AQU TANGER section, the older form of Helgeson et al. (1981) for *AQU\n"
                 "HELGESON; the electron E- is half the energy of its record (a gas at unit\n"
                 "fugacity).  T in kelvin is t + 273.1499938964844 there, and water's density\n"
                 "comes from the Haar, Gallagher and Kell (1984) equation whatever the water\n"
                 "routine.  A reaction with aqueous species is the sum of coefficient times\n"
                 "chemical potential, as on the activity diagrams.  The output then gains the\n"
                 "columns rho_g_cm3 and epsilon: the density of water (g/cm3) and its dielectric\n"
                 "constant used at the point (empty for an item whose species need no water).\n"
                 "Loading species of the aqueous data file adds H, O and the element that calls\n"
                 "for the file (element 31 of the header, the charge E) to the chemical system.\n"
                 "\n"
                 "With --fluid one line is printed per species and point, species outer, with\n"
                 "the columns species, T_C, P_bar, xCO2, phi, activity, volume_cm3 and\n"
                 "G_J_per_mol: the fugacity coefficient, the activity factor (mole fraction times\n"
                 "activity coefficient; 0 for H2O or CO2 absent from the fluid), the molar volume\n"
                 "in cm3/mol and, for H2O under water routine 1 only, the Haar water Gibbs energy\n"
                 "in J/mol.  A value the routine does not give is left empty: phi for H2O under\n"
                 "water routine 1 (that routine gives G instead), the volume under the Holland\n"
                 "and Powell polynomial, G everywhere else.  xCO2 is the fluid of H2O and CO2:\n"
                 "--xco2, else 0 for H2O and 1 for CO2; it is empty for O2, H2 and S2, which are\n"
                 "evaluated pure with their Redlich-Kwong equations (--xco2 does not apply to\n"
                 "them).  With --csv the header is\n"
                 "species,T_C,P_bar,xCO2,phi,activity,volume_cm3,G_J_per_mol.\n"
                 "\n"
                 "Solution models (--sln, --zun and --models, all three together): every phase\n"
                 "whose name, up to its first blank, is an end-member of a chosen model gets the\n"
                 "activity of that end-member at the composition of the composition file, as in\n"
                 "a pelkam run with those models: G then includes R T ln a (and the model's\n"
                 "reciprocal term, if any), and the output gains the column RTlna_J_per_mol,\n"
                 "that term itself (for a reaction the sum of coefficient times term; 0 for a\n"
                 "phase without a model).  The composition file's fixed-activity block applies\n"
                 "as well.  An end-member whose ideal activity is below 1e-6 (or is 0) stops\n"
                 "with the calculator's message (**ERROR** X=0 ...).\n"
                 "\n"
                 "A fluid routine used outside its range (the Holland and Powell polynomial\n"
                 "below 100 bar, a value held at its limit, a search that gave up) is named on\n"
                 "standard error with its range and the first point where it happened; its\n"
                 "values are printed all the same and are not reliable there.  An aqueous\n"
                 "species evaluated where water is less dense than 0.7 g/cm3 is noted the same\n"
                 "way, once: the routine drifts there from the full revised-HKF model (several\n"
                 "kJ/mol for ions, tens of kJ/mol below 0.6 g/cm3); the exit status stays 0.\n"
                 "\n"
                 "Exit status: 0 success; 1 the database, the aqueous data file, the solution\n"
                 "file or the composition file stopped the run (the message is on standard\n"
                 "error); 2 wrong usage, an unknown item or species, an unknown model or\n"
                 "variant, an unreadable number, a routine other than 1, 2 or 3, an --xco2\n"
                 "outside 0 to 1, a missing database or aqueous data file, an empty list, a\n"
                 "malformed or unbalanced reaction, an aqueous species without a model, or a\n"
                 "reaction with both H2O and CO2 but no --xco2; 3 a Gibbs energy is not a\n"
                 "finite number (its phase is named on standard error, its cell left empty).\n");
}

int fail(int code, const std::string& message) {
    std::fprintf(stderr, "pelkam-props: %s\n", message.c_str());
    return code;
}
int usageError(const std::string& message) {
    fail(kExitUsage, message);
    std::fprintf(stderr, "Try 'pelkam-props --help'.\n");
    return kExitUsage;
}

// ---------------------------------------------------------------------------
// Command line

struct Number {
    double value = 0;
    std::string text;  // as given
};

struct Options {
    std::string db;
    bool haveDb = false, haveT = false, haveP = false;
    std::string aqueous;  // the aqueous data file (--aqueous)
    bool haveAqueous = false;
    std::vector<Number> T, P;
    bool csv = false;
    bool help = false;
    std::vector<std::string> items;
    // Fluid species of the --fluid form and the fluid options of both forms.
    std::vector<int> fluids;  // species codes (kinds) 1..5
    bool haveFluid = false;
    Number xco2;
    bool haveX = false;
    pelkam::FluidRoutines routines;
    bool haveWater = false, haveCo2 = false, haveMixing = false;
    // Solution models: the two files and the choice ("CODE" or "CODE=VARIANT"; "all").
    std::string sln, zun;
    bool haveSln = false, haveZun = false, haveModels = false, allModels = false;
    std::vector<std::pair<std::string, std::string>> models;
};

struct FluidSpecies {
    const char* name;
    int kind;
};
constexpr FluidSpecies kFluidSpecies[] = {
    {"H2O", pelkam::kWater},     {"CO2", pelkam::kCarbonDioxide}, {"O2", pelkam::kOxygenGas},
    {"H2", pelkam::kHydrogenGas}, {"S2", pelkam::kSulfurGas},
};
const char* speciesName(int kind) {
    for (const FluidSpecies& f : kFluidSpecies)
        if (f.kind == kind) return f.name;
    return "?";
}

// A comma-separated list of fluid species.
bool parseSpecies(std::string_view text, std::vector<int>& out, std::string& error) {
    out.clear();
    std::size_t pos = 0;
    int index = 0;
    while (true) {
        const std::size_t comma = text.find(',', pos);
        const std::string word = core::upper(core::trimmed(
            text.substr(pos, comma == std::string_view::npos ? std::string_view::npos : comma - pos)));
        ++index;
        int kind = 0;
        for (const FluidSpecies& f : kFluidSpecies)
            if (word == f.name) kind = f.kind;
        if (kind == 0) {
            error = word.empty() ? "species " + std::to_string(index) + " of the --fluid list is empty"
                                 : "unknown fluid species '" + word + "' (H2O, CO2, O2, H2 or S2)";
            return false;
        }
        out.push_back(kind);
        if (comma == std::string_view::npos) break;
        pos = comma + 1;
    }
    return true;
}

// A routine number: 1, 2 or 3.
bool parseRoutine(const std::string& name, std::string_view text, int& out, std::string& error) {
    const std::string t = core::trimmed(text);
    if (t != "1" && t != "2" && t != "3") {
        error = name + " must be 1, 2 or 3, not '" + t + "'";
        return false;
    }
    out = t[0] - '0';
    return true;
}

// A comma-separated list of numbers; `what` names the option in messages.
bool parseList(std::string_view text, const char* what, std::vector<Number>& out, std::string& error) {
    out.clear();
    if (core::trim(text).empty()) {
        error = std::string("the ") + what + " list is empty";
        return false;
    }
    std::size_t pos = 0;
    int index = 0;
    while (true) {
        const std::size_t comma = text.find(',', pos);
        const std::string_view part =
            text.substr(pos, comma == std::string_view::npos ? std::string_view::npos : comma - pos);
        ++index;
        Number n;
        n.text = core::trimmed(part);
        if (n.text.empty()) {
            error = std::string("value ") + std::to_string(index) + " of the " + what + " list is empty";
            return false;
        }
        if (!core::parseDecimal(n.text, n.value)) {
            error = std::string("value ") + std::to_string(index) + " of the " + what + " list, '" + n.text +
                    "', is not a number";
            return false;
        }
        out.push_back(n);
        if (comma == std::string_view::npos) break;
        pos = comma + 1;
    }
    return true;
}

// The --models list: "all", or codes with an optional "=VARIANT".
bool parseModels(std::string_view text, Options& o, std::string& error) {
    o.models.clear();
    if (core::upper(core::trimmed(text)) == "ALL") {
        o.allModels = true;
        return true;
    }
    std::size_t pos = 0;
    int index = 0;
    while (true) {
        const std::size_t comma = text.find(',', pos);
        const std::string part =
            core::trimmed(text.substr(pos, comma == std::string_view::npos ? std::string_view::npos : comma - pos));
        ++index;
        const std::size_t eq = part.find('=');
        const std::string code = core::trimmed(part.substr(0, eq));
        const std::string variant = eq == std::string::npos ? std::string() : core::trimmed(part.substr(eq + 1));
        if (code.empty() || code.size() > 4 || (eq != std::string::npos && variant.empty())) {
            error = "model " + std::to_string(index) + " of the --models list, '" + part +
                    "', is not CODE or CODE=VARIANT (a code has at most four characters)";
            return false;
        }
        o.models.emplace_back(core::pad(code, 4), variant);
        if (comma == std::string_view::npos) break;
        pos = comma + 1;
    }
    return true;
}

bool parseArguments(int argc, char** argv, Options& o, std::string& error) {
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (optionsEnded || a.empty() || a[0] != '-' || a == "-") {
            o.items.push_back(a);
            continue;
        }
        if (a == "--") {
            optionsEnded = true;
            continue;
        }
        if (a == "--help" || a == "-h") {
            o.help = true;
            continue;
        }
        if (a == "--csv") {
            o.csv = true;
            continue;
        }
        // Options with a value: "--db FILE" or "--db=FILE".
        std::string name = a, value;
        bool haveValue = false;
        if (const std::size_t eq = a.find('='); eq != std::string::npos) {
            name = a.substr(0, eq);
            value = a.substr(eq + 1);
            haveValue = true;
        }
        if (name != "--db" && name != "--T" && name != "--P" && name != "--fluid" && name != "--xco2" &&
            name != "--water-routine" && name != "--co2-routine" && name != "--mixing" && name != "--sln" &&
            name != "--zun" && name != "--models" && name != "--aqueous") {
            error = "unknown option '" + a + "'";
            return false;
        }
        if (!haveValue) {
            if (i + 1 >= argc) {
                error = "option " + name + " needs a value";
                return false;
            }
            value = argv[++i];
        }
        if (name == "--db" || name == "--aqueous" || name == "--sln" || name == "--zun") {
            bool& have = name == "--db" ? o.haveDb : name == "--aqueous" ? o.haveAqueous : name == "--sln" ? o.haveSln : o.haveZun;
            if (have) {
                error = name + " given twice";
                return false;
            }
            if (core::trim(value).empty()) {
                error = name + " needs a file name";
                return false;
            }
            (name == "--db" ? o.db : name == "--aqueous" ? o.aqueous : name == "--sln" ? o.sln : o.zun) = value;
            have = true;
        } else if (name == "--models") {
            if (o.haveModels) {
                error = "--models given twice (give all models in one list)";
                return false;
            }
            if (!parseModels(value, o, error)) return false;
            o.haveModels = true;
        } else if (name == "--fluid") {
            if (o.haveFluid) {
                error = "--fluid given twice (give all species in one list)";
                return false;
            }
            if (!parseSpecies(value, o.fluids, error)) return false;
            o.haveFluid = true;
        } else if (name == "--xco2") {
            if (o.haveX) {
                error = "--xco2 given twice";
                return false;
            }
            o.xco2.text = core::trimmed(value);
            if (!core::parseDecimal(o.xco2.text, o.xco2.value)) {
                error = "--xco2 '" + o.xco2.text + "' is not a number";
                return false;
            }
            if (!(o.xco2.value >= 0.0 && o.xco2.value <= 1.0)) {
                error = "--xco2 " + o.xco2.text + " is outside 0 to 1 (it is the mole fraction of CO2)";
                return false;
            }
            o.haveX = true;
        } else if (name == "--water-routine" || name == "--co2-routine" || name == "--mixing") {
            bool& have = name == "--water-routine" ? o.haveWater : name == "--co2-routine" ? o.haveCo2 : o.haveMixing;
            int& routine = name == "--water-routine" ? o.routines.water
                           : name == "--co2-routine" ? o.routines.co2
                                                     : o.routines.mixing;
            if (have) {
                error = name + " given twice";
                return false;
            }
            if (!parseRoutine(name, value, routine, error)) return false;
            have = true;
        } else if (name == "--T") {
            if (o.haveT) {
                error = "--T given twice (give all temperatures in one list)";
                return false;
            }
            if (!parseList(value, "--T", o.T, error)) return false;
            o.haveT = true;
        } else {
            if (o.haveP) {
                error = "--P given twice (give all pressures in one list)";
                return false;
            }
            if (!parseList(value, "--P", o.P, error)) return false;
            o.haveP = true;
        }
    }
    return true;
}

// ---------------------------------------------------------------------------
// Output

void toStderr(std::string_view line) {
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fputc('\n', stderr);
}
void allToStderr(const std::vector<std::string>& lines) {
    for (const std::string& l : lines) toStderr(l);
}

// A failure of the library: its messages, then the line of its error with
// the exit status of its kind; a request the user can put right with the
// hint to the help.
int failWith(const pelkam::Error& e, bool usageHint = false) {
    allToStderr(e.messages);
    switch (e.kind) {
        case pelkam::ErrorKind::File:
            return fail(kExitUsage, e.what + " " + e.file + (e.why.empty() ? "" : ": " + e.why));
        case pelkam::ErrorKind::Data: return fail(kExitDataStop, e.describe());
        case pelkam::ErrorKind::Request: break;
    }
    return usageHint ? usageError(e.describe()) : fail(kExitUsage, e.describe());
}

// The first event of each fluid routine and of each phase energy, on
// standard error; true when a Gibbs energy was not finite.
bool reportNotices(const pelkam::Evaluator& evaluator) {
    bool notFinite = false;
    for (const pelkam::Notice& n : evaluator.notices()) {
        notFinite = notFinite || n.notFinite;
        // A remark says itself how far the values can be trusted.
        std::fprintf(stderr, "pelkam-props: %s%s\n", n.text.c_str(),
                     n.notFinite || n.remark ? "" : "; the values there are not reliable");
    }
    return notFinite;
}

std::string formatValue(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.10g", v);
    return buf;
}
std::string formatGibbs(double g) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.4f", g);
    std::string text = buf;
    if (text == "-0.0000") text.erase(0, 1);  // a balanced reaction rounding to zero
    return text;
}

// Prints rows of cells as CSV or as aligned columns (the first column left-aligned).
void printTable(const std::vector<std::vector<std::string>>& rows, bool csv) {
    if (rows.empty()) return;
    if (csv) {
        for (const auto& row : rows) {
            std::string line;
            for (std::size_t c = 0; c < row.size(); ++c) line += (c ? "," : "") + row[c];
            std::printf("%s\n", line.c_str());
        }
        return;
    }
    std::vector<std::size_t> width(rows[0].size(), 0);
    for (const auto& row : rows)
        for (std::size_t c = 0; c < row.size(); ++c) width[c] = std::max(width[c], row[c].size());
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t c = 0; c < row.size(); ++c) {
            const std::string pad(width[c] - row[c].size(), ' ');
            line += c == 0 ? row[c] + pad : "  " + pad + row[c];
        }
        std::printf("%s\n", line.c_str());
    }
}

// ---------------------------------------------------------------------------
// The --fluid form

int runFluids(const Options& o) {
    bool waterOrCo2 = false;
    for (int kind : o.fluids) waterOrCo2 = waterOrCo2 || kind <= pelkam::kCarbonDioxide;
    if (o.haveX && !waterOrCo2)
        return usageError("--xco2 applies to H2O and CO2 only; O2, H2 and S2 are evaluated pure");

    pelkam::Evaluator evaluator(o.routines);
    evaluator.onWarning(toStderr);  // the table alone on standard output
    std::vector<std::vector<std::string>> rows;
    rows.push_back({"species", "T_C", "P_bar", "xCO2", "phi", "activity", "volume_cm3", "G_J_per_mol"});
    for (int kind : o.fluids) {
        std::string xText;
        if (kind <= pelkam::kCarbonDioxide) xText = o.haveX ? o.xco2.text : (kind == pelkam::kCarbonDioxide ? "1" : "0");
        for (const Number& T : o.T)
            for (const Number& P : o.P) {
                pelkam::Point at{T.value, P.value, std::nullopt};
                if (o.haveX) at.xCO2 = o.xco2.value;
                const pelkam::FluidState f = evaluator.fluid(static_cast<pelkam::FluidSpecies>(kind), at);
                rows.push_back({speciesName(kind), T.text, P.text, xText, f.phi ? formatValue(*f.phi) : "",
                                formatValue(f.activity), f.volume_cm3 ? formatValue(*f.volume_cm3) : "",
                                f.G ? formatGibbs(*f.G) : ""});
            }
    }
    printTable(rows, o.csv);
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) return fail(kExitUsage, "cannot write the output");
    reportNotices(evaluator);
    return 0;
}

// ---------------------------------------------------------------------------
// Phases and reactions

// A distinct phase name or abbreviation written in the items and the phase
// of the database it names.
struct NameMatch {
    std::string key;
    std::string written;
    pelkam::PhaseInfo phase;
};

// The items' phases in the database file: every name known and of a phase
// the calculator loads.  Returns 0 or the exit status after its message.
// A name written like an aqueous species: a charge at its end (K+, CA+2,
// CL-, CO3-2) or "(AQ)" in it.
bool looksAqueous(const std::string& key) {
    std::size_t end = key.size();
    while (end > 0 && key[end - 1] >= '0' && key[end - 1] <= '9') --end;
    return (end > 0 && (key[end - 1] == '+' || key[end - 1] == '-')) || key.find("(AQ)") != std::string::npos;
}

int findPhases(const pelkam::DatabaseIndex& index, const std::vector<pelkam::ReactionText>& items,
               std::vector<NameMatch>& names) {
    for (const pelkam::ReactionText& item : items)
        for (const pelkam::ReactionText::Term& t : item.terms) {
            const std::string key = pelkam::phaseNameKey(t.phase);
            if (std::none_of(names.begin(), names.end(), [&](const NameMatch& m) { return m.key == key; }))
                names.push_back(NameMatch{key, t.phase, {}});
        }
    for (NameMatch& m : names) {
        const pelkam::PhaseInfo* p = index.find(m.written);
        if (p == nullptr)
            return fail(kExitUsage, "unknown phase '" + m.written + "': no abbreviation or name in " + index.file +
                                        (!index.aqueousFile.empty() ? " or " + index.aqueousFile + " matches it"
                                         : looksAqueous(m.key)
                                             ? " matches it (aqueous species are read from the file named by "
                                               "--aqueous FILE)"
                                             : " matches it"));
        if (p->kind == pelkam::kAqueousPlain)
            return fail(kExitUsage, "'" + m.written + "' is the aqueous species " + p->name + " (line " +
                                        std::to_string(p->line) + " of " + p->file +
                                        ") of a *AQU section without HELGESON or TANGER, which has no chemical "
                                        "potential routine");
        if (p->kind == pelkam::kOtherGas)
            return fail(kExitUsage, "'" + m.written + "' is the gas " + p->name +
                                        ", which is not loaded: only WATER, CARBON DIOXIDE, OXYGEN GAS, "
                                        "HYDROGEN GAS and SULFUR GAS have gas properties");
        m.phase = *p;
    }
    return 0;
}

// The solution models of --sln, --zun and --models.  Returns 0 or the exit
// status after its message.
int loadModels(const Options& o, const pelkam::Database& db, const std::vector<int>& asked,
               std::optional<pelkam::SolutionModels>& out) {
    pelkam::SolutionChoice choice;
    choice.all = o.allModels;
    for (const auto& [code, variant] : o.models) choice.models.push_back({code, variant});
    pelkam::Result<pelkam::SolutionModels> models = pelkam::loadSolutionModels(db, o.sln, o.zun, choice);
    if (!models) return failWith(models.error(), true);
    allToStderr(models->messages());
    // Every end-member asked for needs an activity.
    for (int i : asked)
        if (std::optional<pelkam::Error> e = models->missingActivity(i))
            return fail(kExitDataStop, e->what + " (composition file " + e->file + ", model " + e->value + ")");
    out = std::move(*models);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    std::string error;
    if (!parseArguments(argc, argv, o, error)) return usageError(error);
    if (o.help) {
        usage(stdout);
        return 0;
    }
    if (o.haveFluid) {
        if (o.haveDb) return usageError("--fluid needs no database: give either --fluid or --db with items");
        if (!o.items.empty()) return usageError("--fluid cannot be combined with phases or reactions ('" + o.items[0] + "')");
    } else {
        if (!o.haveDb) return usageError("no database given (--db FILE)");
    }
    if (!o.haveT) return usageError("no temperatures given (--T LIST, degrees C)");
    if (!o.haveP) return usageError("no pressures given (--P LIST, bar)");
    if (!o.haveFluid && o.items.empty()) return usageError("no phase or reaction given");
    for (const Number& t : o.T)
        if (!(t.value > kAbsoluteZeroC))
            return usageError("temperature " + t.text + " C is not above absolute zero (-273.15 C)");
    for (const Number& p : o.P)
        if (!(p.value > 0)) return usageError("pressure " + p.text + " bar is not positive");
    const bool withModels = o.haveSln || o.haveZun || o.haveModels;
    if (withModels && !(o.haveSln && o.haveZun && o.haveModels))
        return usageError("solution models need all of --sln FILE, --zun FILE and --models LIST");
    if (withModels && o.haveFluid) return usageError("--fluid takes no solution models");
    if (o.haveFluid) return runFluids(o);

    std::vector<pelkam::ReactionText> texts;
    for (const std::string& raw : o.items) {
        pelkam::Result<pelkam::ReactionText> t = pelkam::parseReaction(raw);
        if (!t) return usageError(t.error().describe());
        texts.push_back(*t);
    }

    // The phases in the file; messages of the database routines go to
    // standard error, so that the standard output holds the table alone.
    pelkam::Result<pelkam::DatabaseIndex> index = pelkam::indexDatabase(o.db, o.aqueous);
    if (!index) return failWith(index.error());
    allToStderr(index->messages);
    std::vector<NameMatch> names;
    if (int code = findPhases(*index, texts, names); code != 0) return code;

    // Reactions: one coefficient per phase, balanced in every element.
    std::vector<pelkam::Reaction> items;
    for (const pelkam::ReactionText& text : texts) {
        pelkam::Result<pelkam::Reaction> r = pelkam::balanceReaction(*index, text);
        if (!r) return failWith(r.error());
        // Both fluid species: the fluid's composition cannot be guessed.
        if (r->hasWater() && r->hasCarbonDioxide() && !o.haveX)
            return usageError("reaction \"" + text.text +
                              "\" contains both H2O and CO2: give the fluid composition with --xco2 X");
        items.push_back(*r);
    }

    // The chemical system of the requested phases, loaded as pelkam loads it.
    std::vector<pelkam::PhaseInfo> chosen;
    bool anyAqueous = false;
    for (const NameMatch& m : names) {
        chosen.push_back(m.phase);
        anyAqueous = anyAqueous || m.phase.kind < 0;
        if (o.haveAqueous && m.phase.file == o.aqueous &&
            static_cast<int>(index->elements.size()) <= pelkam::kAqueousSwitchElement)
            return fail(kExitUsage, "the database " + o.db + " has fewer than 31 elements, so the aqueous data file "
                                    "is never read (its element 31 calls for it)");
    }
    const std::vector<std::string> elements = pelkam::systemElements(*index, chosen);
    if (static_cast<int>(elements.size()) > pelkam::kMaxComponents)
        return fail(kExitUsage, "the items need " + std::to_string(elements.size()) +
                                    " elements; a chemical system has at most " +
                                    std::to_string(pelkam::kMaxComponents) + ": compute them in separate runs");
    std::string elementLine;
    for (const std::string& e : elements) elementLine += e + " ";
    pelkam::LoadOptions load;
    load.routines = o.routines;
    load.aqueousFile = o.aqueous;
    // Aqueous sections are read for activity diagrams only.
    load.diagramType = anyAqueous ? pelkam::DiagramType::ActivityT : pelkam::DiagramType::PT;
    pelkam::Result<pelkam::Database> db = pelkam::loadDatabase(o.db, elementLine, load);
    if (!db) return failWith(db.error());
    allToStderr(db->messages());
    std::vector<int> asked;
    for (const NameMatch& m : names) {
        const int i = db->indexOf(m.phase);
        if (i < 0)
            return fail(kExitUsage, "'" + m.written + "' (" + m.phase.name + ", line " + std::to_string(m.phase.line) +
                                        " of " + m.phase.file + ") has no valid data: the " +
                                        (m.phase.file == o.db ? "database" : "aqueous data file") +
                                        " marks its enthalpy as missing");
        asked.push_back(i);
    }
    std::optional<pelkam::SolutionModels> models;
    if (withModels)
        if (int code = loadModels(o, *db, asked, models); code != 0) return code;

    // The table of results: items in order, temperature outer, pressure inner.
    struct Row {
        const pelkam::Reaction* item;
        const Number* T;
        const Number* P;
        double G;
        double term;  // the solution-model terms (with --models)
        double rho, eps;  // the water of the aqueous species (NaN without one that needs water)
    };
    std::vector<Row> rows;
    rows.reserve(items.size() * o.T.size() * o.P.size());
    pelkam::Evaluator evaluator = models ? pelkam::Evaluator(*db, *models) : pelkam::Evaluator(*db);
    evaluator.onWarning(toStderr);
    bool waterColumns = false;  // some item holds an aqueous species that needs water
    for (const pelkam::Reaction& item : items) {
        const int phase = db->indexOf(item.terms[0].phase);
        const bool needsWater = std::any_of(item.terms.begin(), item.terms.end(), [](const pelkam::Reaction::Term& t) {
            return pelkam::usesAqueousWater(t.phase);
        });
        waterColumns = waterColumns || needsWater;
        for (const Number& T : o.T)
            for (const Number& P : o.P) {
                pelkam::Point at{T.value, P.value, std::nullopt};
                if (o.haveX) at.xCO2 = o.xco2.value;
                const double G = item.reaction ? evaluator.reactionGibbs(item, at) : evaluator.phaseGibbs(phase, at);
                const double term =
                    item.reaction ? evaluator.activityTerm(item, at) : evaluator.activityTerm(phase, at);
                double rho = std::nan(""), eps = std::nan("");
                if (needsWater) {
                    const pelkam::AqueousWater w = evaluator.aqueousWater(at);
                    rho = w.density_g_cm3;
                    eps = w.dielectricConstant;
                }
                rows.push_back(Row{&item, &T, &P, G, term, rho, eps});
            }
    }
    // An energy that is not a finite number is left empty (and its phase
    // named on standard error); so are the water columns of an item without
    // aqueous species.
    const auto gText = [](double g) { return std::isfinite(g) ? formatGibbs(g) : std::string(); };
    const auto vText = [](double v) { return std::isfinite(v) ? formatValue(v) : std::string(); };
    std::vector<std::vector<std::string>> cells;
    cells.push_back({"item", "T_C", "P_bar", "G_J_per_mol"});
    if (withModels) cells.back().push_back("RTlna_J_per_mol");
    if (waterColumns) cells.back().insert(cells.back().end(), {"rho_g_cm3", "epsilon"});
    for (const Row& r : rows) {
        std::string item = r.item->text;
        if (o.csv && item.find_first_of(",\"") != std::string::npos) {
            std::string quoted = "\"";
            for (char c : item) {
                if (c == '"') quoted += '"';
                quoted += c;
            }
            item = quoted + "\"";
        }
        cells.push_back({item, r.T->text, r.P->text, gText(r.G)});
        if (withModels) cells.back().push_back(gText(r.term));
        if (waterColumns) cells.back().insert(cells.back().end(), {vText(r.rho), vText(r.eps)});
    }
    printTable(cells, o.csv);
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) return fail(kExitUsage, "cannot write the output");
    if (reportNotices(evaluator)) return kExitNotFinite;
    return 0;
}
