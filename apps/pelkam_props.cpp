// pelkam-props: Gibbs energies of phases and reactions of a thermodynamic
// database at chosen temperatures and pressures, computed with the routines
// the equilibrium calculator uses.
#include <algorithm>
#include <array>
#include <bitset>
#include <fstream>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "calc/diagram_type.hpp"
#include "core/status.hpp"
#include "core/text.hpp"
#include "io/composition_file.hpp"
#include "io/database.hpp"
#include "io/database_scan.hpp"
#include "io/sln_format.hpp"
#include "io/streams.hpp"
#include "model/activity.hpp"
#include "model/aqueous.hpp"
#include "model/chemical_system.hpp"
#include "model/gibbs.hpp"
#include "model/phase.hpp"

namespace {

constexpr int kThermoUnit = 3;
constexpr int kAqueousUnit = 4;
constexpr int kMessagesUnit = 6;
constexpr int kExitDataStop = 1;
constexpr int kExitUsage = 2;
constexpr int kExitNotFinite = 3;
constexpr double kBalanceTolerance = 1e-6;
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

std::string trimmed(std::string_view s) { return std::string(core::trim(s)); }

// Upper case with runs of blanks made single: the key names are compared by.
std::string nameKey(std::string_view s) {
    std::string out;
    for (char c : core::trim(s)) {
        if (c == ' ' || c == '\t') {
            if (!out.empty() && out.back() != ' ') out += ' ';
        } else {
            out += c;
        }
    }
    return core::upper(out);
}

std::string formatNumber(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.10g", v);
    return buf;
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
    model::FluidModelChoice routines;
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
    {"H2O", model::kWater},     {"CO2", model::kCarbonDioxide}, {"O2", model::kOxygenGas},
    {"H2", model::kHydrogenGas}, {"S2", model::kSulfurGas},
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
        const std::string word = core::upper(trimmed(
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
    const std::string t = trimmed(text);
    if (t != "1" && t != "2" && t != "3") {
        error = name + " must be 1, 2 or 3, not '" + t + "'";
        return false;
    }
    out = t[0] - '0';
    return true;
}

// A plain decimal number (digits, sign, point, exponent); nothing else.
bool parseDecimal(std::string_view text, double& out) {
    if (text.empty()) return false;
    for (char c : text)
        if (!((c >= '0' && c <= '9') || c == '.' || c == '+' || c == '-' || c == 'e' || c == 'E')) return false;
    const std::string s(text);
    char* end = nullptr;
    const double v = std::strtod(s.c_str(), &end);
    if (end != s.c_str() + s.size() || !std::isfinite(v)) return false;
    out = v;
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
        n.text = trimmed(part);
        if (n.text.empty()) {
            error = std::string("value ") + std::to_string(index) + " of the " + what + " list is empty";
            return false;
        }
        if (!parseDecimal(n.text, n.value)) {
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
    if (core::upper(trimmed(text)) == "ALL") {
        o.allModels = true;
        return true;
    }
    std::size_t pos = 0;
    int index = 0;
    while (true) {
        const std::size_t comma = text.find(',', pos);
        const std::string part =
            trimmed(text.substr(pos, comma == std::string_view::npos ? std::string_view::npos : comma - pos));
        ++index;
        const std::size_t eq = part.find('=');
        const std::string code = trimmed(part.substr(0, eq));
        const std::string variant = eq == std::string::npos ? std::string() : trimmed(part.substr(eq + 1));
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
        if (name == "--db") {
            if (o.haveDb) {
                error = "--db given twice";
                return false;
            }
            if (core::trim(value).empty()) {
                error = "--db needs a file name";
                return false;
            }
            o.db = value;
            o.haveDb = true;
        } else if (name == "--aqueous") {
            if (o.haveAqueous) {
                error = "--aqueous given twice";
                return false;
            }
            if (core::trim(value).empty()) {
                error = "--aqueous needs a file name";
                return false;
            }
            o.aqueous = value;
            o.haveAqueous = true;
        } else if (name == "--sln" || name == "--zun") {
            bool& have = name == "--sln" ? o.haveSln : o.haveZun;
            if (have) {
                error = name + " given twice";
                return false;
            }
            if (core::trim(value).empty()) {
                error = name + " needs a file name";
                return false;
            }
            (name == "--sln" ? o.sln : o.zun) = value;
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
            o.xco2.text = trimmed(value);
            if (!parseDecimal(o.xco2.text, o.xco2.value)) {
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
// Items

struct Term {
    double coefficient = 1;  // positive for products, negative for reactants
    std::string name;        // as written
    int match = -1;          // index into the name table
};

struct Item {
    std::string text;  // as written, trimmed
    bool reaction = false;
    std::vector<Term> terms;
};

// One term of a reaction side: an optional decimal coefficient and a phase.
bool parseTerm(std::string_view raw, double sign, const std::string& item, Term& out, std::string& error) {
    const std::string term = trimmed(raw);
    if (term.empty()) {
        error = "reaction \"" + item + "\" has an empty term (a '+' or '=' with nothing beside it)";
        return false;
    }
    std::size_t k = 0;
    while (k < term.size() && ((term[k] >= '0' && term[k] <= '9') || term[k] == '.')) ++k;
    double coefficient = 1;
    if (k > 0) {
        const std::string digits = term.substr(0, k);
        std::size_t after = k;
        while (after < term.size() && term[after] == ' ') ++after;
        if (after < term.size() && term[after] == '/') {
            error = "reaction \"" + item + "\": the coefficient in \"" + term +
                    "\" is a fraction; write it as a decimal number (for example 1.5)";
            return false;
        }
        if (!parseDecimal(digits, coefficient)) {
            error = "reaction \"" + item + "\": the coefficient '" + digits + "' in \"" + term +
                    "\" is not a number";
            return false;
        }
        if (!(coefficient > model::kTakesPart)) {
            error = "reaction \"" + item + "\": the coefficient '" + digits + "' in \"" + term +
                    "\" is too small (it must exceed " + formatNumber(model::kTakesPart) + ")";
            return false;
        }
    }
    out.coefficient = sign * coefficient;
    out.name = trimmed(std::string_view(term).substr(k));
    if (out.name.empty()) {
        error = "reaction \"" + item + "\": the term \"" + term + "\" names no phase";
        return false;
    }
    return true;
}

// Whether the '+' at `k` of a reaction side is the charge of the species
// written before it (K+, CA+2) rather than a separator: it follows the name
// without a blank, and nothing but digits, blanks and then '+', '=' or the
// end of the side come after it.
bool isChargeSign(std::string_view side, std::size_t k) {
    if (k == 0 || side[k - 1] == ' ' || side[k - 1] == '\t') return false;
    std::size_t j = k + 1;
    while (j < side.size() && side[j] >= '0' && side[j] <= '9') ++j;
    while (j < side.size() && (side[j] == ' ' || side[j] == '\t')) ++j;
    return j == side.size() || side[j] == '+' || side[j] == '=';
}

// The next '+' of a side from `pos` that separates two terms.
std::size_t nextSeparator(std::string_view side, std::size_t pos) {
    for (std::size_t k = side.find('+', pos); k != std::string_view::npos; k = side.find('+', k + 1))
        if (!isChargeSign(side, k)) return k;
    return std::string_view::npos;
}

bool parseItem(const std::string& raw, Item& out, std::string& error) {
    out = Item{};
    out.text = trimmed(raw);
    if (out.text.empty()) {
        error = "an item is empty";
        return false;
    }
    const std::size_t eq = out.text.find('=');
    if (eq == std::string::npos) {
        out.terms.push_back(Term{1.0, out.text, -1});
        return true;
    }
    out.reaction = true;
    if (out.text.find('=', eq + 1) != std::string::npos) {
        error = "reaction \"" + out.text + "\" has more than one '='";
        return false;
    }
    const std::string_view sides[2] = {std::string_view(out.text).substr(0, eq),
                                       std::string_view(out.text).substr(eq + 1)};
    for (int side = 0; side < 2; ++side) {
        const double sign = side == 0 ? -1.0 : 1.0;
        if (core::trim(sides[side]).empty()) {
            error = "reaction \"" + out.text + "\" has no " + (side == 0 ? "reactants" : "products");
            return false;
        }
        std::size_t pos = 0;
        while (true) {
            const std::size_t plus = nextSeparator(sides[side], pos);
            Term t;
            if (!parseTerm(sides[side].substr(pos, plus == std::string_view::npos ? std::string_view::npos
                                                                                   : plus - pos),
                           sign, out.text, t, error))
                return false;
            out.terms.push_back(t);
            if (plus == std::string_view::npos) break;
            pos = plus + 1;
        }
    }
    return true;
}

// ---------------------------------------------------------------------------
// Finding the phases in the database

// A distinct phase name or abbreviation written in the items, and what the
// scan found for it: the first phase with that abbreviation, else the first
// with that name.
struct NameMatch {
    std::string key;
    std::string written;
    bool byAbbreviation = false, byName = false;
    io::ScannedPhase abbreviationHit, nameHit;
    int abbreviationUnit = 0, nameUnit = 0;  // the file of each hit (database or aqueous file)
    const io::ScannedPhase& chosen() const { return byAbbreviation ? abbreviationHit : nameHit; }
    int chosenUnit() const { return byAbbreviation ? abbreviationUnit : nameUnit; }
    // The same phase of the same file.
    bool samePhase(const NameMatch& other) const {
        return chosenUnit() == other.chosenUnit() && chosen().line == other.chosen().line;
    }
};

bool isAqueousKind(int kind) { return kind < 0; }

// A name written like an aqueous species: a charge at its end (K+, CA+2,
// CL-, CO3-2) or "(AQ)" in it.
bool looksAqueous(const std::string& key) {
    std::size_t end = key.size();
    while (end > 0 && key[end - 1] >= '0' && key[end - 1] <= '9') --end;
    return (end > 0 && (key[end - 1] == '+' || key[end - 1] == '-')) || key.find("(AQ)") != std::string::npos;
}

using ElementSet = std::bitset<model::kMaxElements>;

ElementSet elementsOf(const io::ScannedPhase& p, int elementCount) {
    ElementSet s;
    for (int e = 0; e < elementCount; ++e)
        if (p.coefficients[static_cast<std::size_t>(e)] != 0.0) s.set(static_cast<std::size_t>(e));
    return s;
}

bool loadedByPTRun(int kind) { return kind == model::kMineral || (kind >= 1 && kind <= 5); }

std::string elementName(const model::ChemicalSystem& sys, int e) {
    return trimmed(sys.elementSymbols[static_cast<std::size_t>(e)]);
}

// ---------------------------------------------------------------------------
// The --fluid form

// Warnings of the CO2 routine go to standard error, so that the standard
// output holds the table alone.
model::WarningSink warningsToStderr() {
    return [](std::string_view line) {
        std::fwrite(line.data(), 1, line.size(), stderr);
        std::fputc('\n', stderr);
    };
}

// The first event of each fluid routine, of each phase energy and of each
// notice of the aqueous routines, on standard error; true when a Gibbs
// energy was not finite.
bool reportRangeEvents(const model::RangeEvents& events, const model::PhaseTable* table) {
    bool notFinite = false;
    for (int i = 0; i < events.firstCount(); ++i) {
        const model::RangeEvent& e = events.first(i);
        const bool energy = e.source == model::RangeSource::PhaseEnergy;
        notFinite = notFinite || energy;
        // A notice says itself how far the values can be trusted.
        std::fprintf(stderr, "pelkam-props: %s%s\n", model::describeRangeEvent(e, table).c_str(),
                     energy || model::isNotice(e.source) ? "" : "; the values there are not reliable");
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

int runFluids(const Options& o) {
    bool waterOrCo2 = false;
    for (int kind : o.fluids) waterOrCo2 = waterOrCo2 || kind <= model::kCarbonDioxide;
    if (o.haveX && !waterOrCo2)
        return usageError("--xco2 applies to H2O and CO2 only; O2, H2 and S2 are evaluated pure");

    auto ctx = std::make_unique<model::GibbsEvaluator>();
    ctx->fluidCache.warn = warningsToStderr();
    auto events = std::make_unique<model::RangeEvents>();
    ctx->events = events.get();
    auto point = std::make_unique<model::PointState>();
    std::vector<std::vector<std::string>> rows;
    rows.push_back({"species", "T_C", "P_bar", "xCO2", "phi", "activity", "volume_cm3", "G_J_per_mol"});
    for (int kind : o.fluids) {
        const bool mixable = kind <= model::kCarbonDioxide;
        // H2O and CO2 in their H2O-CO2 fluid; the other gases pure.
        std::array<double, model::kFluidKinds> x{};
        std::string xText;
        if (mixable) {
            const double X = o.haveX ? o.xco2.value : (kind == model::kCarbonDioxide ? 1.0 : 0.0);
            x[model::kWater] = 1.0 - X;
            x[model::kCarbonDioxide] = X;
            xText = o.haveX ? o.xco2.text : (kind == model::kCarbonDioxide ? "1" : "0");
        } else {
            x[static_cast<std::size_t>(kind)] = 1.0;
        }
        const bool haar = kind == model::kWater && o.routines.water == 1;
        // Below this mole fraction the calculator counts a species as absent.
        const bool absent = x[static_cast<std::size_t>(kind)] < 1e-10;
        for (const Number& T : o.T)
            for (const Number& P : o.P) {
                *point = model::PointState{};
                point->P = P.value;
                point->t = T.value;
                point->x = x;
                point->fluid = o.routines;
                const model::FluidState f = model::FluidProperties(*ctx, *point, kind, 0);
                const bool hasVolume = f.volume > 0.0;
                rows.push_back({speciesName(kind), T.text, P.text, xText, haar ? "" : formatValue(f.phi),
                                formatValue(absent ? 0.0 : f.activity), hasVolume ? formatValue(f.volume) : "",
                                haar ? formatGibbs(f.gibbs) : ""});
            }
    }
    printTable(rows, o.csv);
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) return fail(kExitUsage, "cannot write the output");
    reportRangeEvents(*events, nullptr);
    return 0;
}

// ---------------------------------------------------------------------------
// Solution models

bool readFileLines(const std::string& path, std::vector<std::string>& lines) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    lines.clear();
    for (std::string l; std::getline(in, l);) {
        if (!l.empty() && l.back() == '\r') l.pop_back();
        lines.push_back(l);
    }
    return true;
}

// Reads the solution file with the chosen variants, sets the compositions
// and links the phases of `table`; returns 0 or the exit status after its
// message.
int loadSolutionModels(const Options& o, model::PhaseTable& table, model::SolutionModelSet& set,
                       std::array<double, model::kMaxPhases>& logActivity) {
    std::vector<std::string> sln, zun;
    if (!readFileLines(o.sln, sln)) return fail(kExitUsage, "cannot open the solution file " + o.sln);
    if (!readFileLines(o.zun, zun)) return fail(kExitUsage, "cannot open the composition file " + o.zun);
    std::vector<std::string> said;
    auto parse = [&](std::span<const int> variants) {
        said.clear();
        const core::Status st = io::parseSolutionModels(sln, o.sln, variants, set, said);
        for (const std::string& l : said) std::fprintf(stderr, "%s\n", l.c_str());
        return st;
    };
    if (core::Status st = parse({}); !st) return fail(kExitDataStop, st.describe());

    // The chosen models and variants.
    std::array<int, model::kMaxModels> variants{};
    if (o.allModels) {
        for (int m = 0; m < set.count; ++m) {
            const model::SolutionModel& sm = set.models[static_cast<std::size_t>(m)];
            io::CompositionValues v;
            if (sm.mixingModelCount == 0) continue;
            const core::Status st =
                io::findComposition(zun, o.zun, sm.abbreviation, io::siteFractionCount(sm), v);
            // A model without a value line is left out; a file that cannot be read is said.
            if (st.ok()) variants[static_cast<std::size_t>(m)] = 1;
            else if (st.what != io::missingCompositionMessage(sm.abbreviation))
                return fail(kExitDataStop, st.describe());
        }
    }
    for (const auto& [code, variant] : o.models) {
        int found = -1;
        for (int m = 0; m < set.count && found < 0; ++m)
            if (core::upper(set.models[static_cast<std::size_t>(m)].abbreviation) == core::upper(code)) found = m;
        if (found < 0) return usageError("no model '" + trimmed(code) + "' in " + o.sln);
        const model::SolutionModel& sm = set.models[static_cast<std::size_t>(found)];
        int v = variant.empty() && sm.mixingModelCount > 0 ? 1 : 0;
        std::string offered;
        for (int k = 0; k < sm.mixingModelCount; ++k) {
            const std::string keyword = trimmed(sm.mixingModels[static_cast<std::size_t>(k)].keyword);
            offered += (k ? ", " : "") + keyword;
            if (!variant.empty() && core::upper(keyword) == core::upper(variant)) v = k + 1;
        }
        if (v == 0)
            return usageError("model " + trimmed(code) + " has no variant '" + variant + "' (it has " +
                              (offered.empty() ? std::string("none") : offered) + ")");
        variants[static_cast<std::size_t>(found)] = v;
    }
    if (core::Status st = parse(variants); !st) return fail(kExitDataStop, st.describe());

    // Compositions, then the links of the phases.
    for (int m = 0; m < set.count; ++m) {
        model::SolutionModel& sm = set.models[static_cast<std::size_t>(m)];
        if (variants[static_cast<std::size_t>(m)] == 0) continue;
        io::CompositionValues v;
        if (core::Status st =
                io::findComposition(zun, o.zun, sm.abbreviation, io::siteFractionCount(sm), v);
            !st)
            return fail(kExitDataStop, st.describe());
        io::setSiteFractions(sm, v);
        model::precomputeExcessCoefficients(sm);
    }
    for (int i = 0; i < table.count; ++i) {
        model::PhaseRecord& p = table[i];
        int model = 0, member = 0;
        if (!model::endMemberOfPhase(set, p.name, model, member) || variants[static_cast<std::size_t>(model - 1)] == 0)
            continue;
        p.activityModel = model;
        p.activityEndMember = member;
        p.reciprocalSet = model::reciprocalSetOf(set, model);
    }
    io::FixedActivityBlock block;
    if (core::Status st = io::parseFixedActivities(zun, o.zun, block); !st)
        return fail(kExitDataStop, st.describe());
    io::applyFixedActivities(table, block, logActivity);
    return 0;
}

// The solution-model terms of phase i at (P bar, T K), J/mol.
double solutionTerm(const model::PhaseRecord& p, const model::SolutionModelSet& set, double P, double T) {
    if (p.activityModel == 0) return 0.0;
    double g = model::endMemberActivityTerm(set, P, T, p.activityModel, p.activityEndMember);
    if (p.reciprocalSet != 0)
        g += model::reciprocalTerm(set, P, T, p.activityModel, p.activityEndMember, p.reciprocalSet);
    return g;
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

    std::vector<Item> items(o.items.size());
    for (std::size_t i = 0; i < items.size(); ++i)
        if (!parseItem(o.items[i], items[i], error)) return usageError(error);

    // The distinct names written in the items.
    std::vector<NameMatch> names;
    for (Item& item : items)
        for (Term& t : item.terms) {
            const std::string key = nameKey(t.name);
            auto it = std::find_if(names.begin(), names.end(), [&](const NameMatch& m) { return m.key == key; });
            if (it == names.end()) {
                names.push_back(NameMatch{});
                names.back().key = key;
                names.back().written = t.name;
                it = names.end() - 1;
            }
            t.match = static_cast<int>(it - names.begin());
        }

    // Messages of the database routines go to standard error, so that the
    // standard output holds the table alone.
    io::Streams streams;
    io::Console console;
    console.write_line = [](std::string_view line) {
        std::fwrite(line.data(), 1, line.size(), stderr);
        std::fputc('\n', stderr);
    };
    console.read_line = [](std::string&) { return false; };
    streams.set_console(console);

    switch (streams.open(kThermoUnit, o.db, io::OpenMode::Existing)) {
        case 0: break;
        case 1: return fail(kExitUsage, "cannot open the database " + o.db + ": no such file");
        case 4: return fail(kExitUsage, "cannot open the database " + o.db + ": not a regular file");
        default: return fail(kExitUsage, "cannot read the database " + o.db);
    }

    // First pass: the element header and every phase header.
    auto sys = std::make_unique<model::ChemicalSystem>();
    core::Status s = io::readElementHeader(streams, kThermoUnit, *sys, kMessagesUnit);
    if (!s) return fail(core::exit_code(s) == 1 ? kExitDataStop : kExitUsage, s.describe());
    std::vector<ElementSet> loadable;  // element sets of the phases a P-T load can keep
    int scannedUnit = kThermoUnit;
    const auto visit = [&](const io::ScannedPhase& p) {
        if (scannedUnit == kThermoUnit && loadedByPTRun(p.kind)) loadable.push_back(elementsOf(p, sys->elementCount));
        const std::string abbreviation = nameKey(p.abbreviation);
        const std::string name = nameKey(p.name);
        for (NameMatch& m : names) {
            if (!m.byAbbreviation && m.key == abbreviation) {
                m.byAbbreviation = true;
                m.abbreviationHit = p;
                m.abbreviationUnit = scannedUnit;
            }
            if (!m.byName && m.key == name) {
                m.byName = true;
                m.nameHit = p;
                m.nameUnit = scannedUnit;
            }
        }
    };
    s = io::scanPhaseHeaders(streams, kThermoUnit, *sys, kMessagesUnit, visit);
    if (!s) return fail(core::exit_code(s) == 1 ? kExitDataStop : kExitUsage, s.describe());
    // The aqueous data file holds species only: no element header.
    if (o.haveAqueous) {
        switch (streams.open(kAqueousUnit, o.aqueous, io::OpenMode::Existing)) {
            case 0: break;
            case 1: return fail(kExitUsage, "cannot open the aqueous data file " + o.aqueous + ": no such file");
            case 4: return fail(kExitUsage, "cannot open the aqueous data file " + o.aqueous + ": not a regular file");
            default: return fail(kExitUsage, "cannot read the aqueous data file " + o.aqueous);
        }
        scannedUnit = kAqueousUnit;
        s = io::scanPhaseHeaders(streams, kAqueousUnit, *sys, kMessagesUnit, visit);
        if (!s) return fail(core::exit_code(s) == 1 ? kExitDataStop : kExitUsage, s.describe());
    }
    const auto fileOf = [&](int unit) { return unit == kAqueousUnit ? o.aqueous : o.db; };

    bool anyAqueous = false, fromAqueousFile = false;
    for (const NameMatch& m : names) {
        if (!m.byAbbreviation && !m.byName)
            return fail(kExitUsage, "unknown phase '" + m.written + "': no abbreviation or name in " + o.db +
                                        (o.haveAqueous ? " or " + o.aqueous + " matches it"
                                         : looksAqueous(m.key)
                                             ? " matches it (aqueous species are read from the file named by "
                                               "--aqueous FILE)"
                                             : " matches it"));
        const io::ScannedPhase& p = m.chosen();
        if (p.kind == model::kAqueousPlain)
            return fail(kExitUsage, "'" + m.written + "' is the aqueous species " + trimmed(p.name) + " (line " +
                                        std::to_string(p.line) + " of " + fileOf(m.chosenUnit()) +
                                        ") of a *AQU section without HELGESON or TANGER, which has no chemical "
                                        "potential routine");
        anyAqueous = anyAqueous || isAqueousKind(p.kind);
        fromAqueousFile = fromAqueousFile || m.chosenUnit() == kAqueousUnit;
        if (p.kind == model::kAxisGas)
            return fail(kExitUsage, "'" + m.written + "' is the gas " + trimmed(p.name) +
                                        ", which is not loaded: only WATER, CARBON DIOXIDE, OXYGEN GAS, "
                                        "HYDROGEN GAS and SULFUR GAS have gas properties");
    }

    // Reactions: one coefficient per phase, balanced in every element.
    for (Item& item : items) {
        if (!item.reaction) continue;
        std::vector<Term> merged;
        for (const Term& t : item.terms) {
            const NameMatch& phase = names[static_cast<std::size_t>(t.match)];
            auto it = std::find_if(merged.begin(), merged.end(), [&](const Term& m) {
                return names[static_cast<std::size_t>(m.match)].samePhase(phase);
            });
            if (it == merged.end())
                merged.push_back(t);
            else
                it->coefficient += t.coefficient;
        }
        std::erase_if(merged, [](const Term& t) { return !(std::fabs(t.coefficient) > model::kTakesPart); });
        if (merged.empty()) return fail(kExitUsage, "reaction \"" + item.text + "\" has no net change");
        std::string unbalanced;
        for (int e = 0; e < sys->elementCount; ++e) {
            double excess = 0;
            for (const Term& t : merged)
                excess += t.coefficient *
                          names[static_cast<std::size_t>(t.match)].chosen().coefficients[static_cast<std::size_t>(e)];
            if (std::fabs(excess) > kBalanceTolerance)
                unbalanced += (unbalanced.empty() ? "" : "; ") +
                              (elementName(*sys, e) == "E" ? std::string("charge (E)") : elementName(*sys, e)) +
                              " excess " + (excess > 0 ? "+" : "") + formatNumber(excess);
        }
        if (!unbalanced.empty())
            return fail(kExitUsage, "reaction \"" + item.text + "\" is not balanced (products minus reactants): " +
                                        unbalanced);
        // Both fluid species: the fluid's composition cannot be guessed.
        bool water = false, co2 = false;
        for (const Term& t : merged) {
            const int kind = names[static_cast<std::size_t>(t.match)].chosen().kind;
            water = water || kind == model::kWater;
            co2 = co2 || kind == model::kCarbonDioxide;
        }
        if (water && co2 && !o.haveX)
            return usageError("reaction \"" + item.text +
                              "\" contains both H2O and CO2: give the fluid composition with --xco2 X");
        item.terms = merged;
    }

    // The chemical system: the elements of the requested phases, widened by
    // the phases that come first in the file when fewer than two phases of
    // the database would load (the loader needs two).
    ElementSet chosen;
    for (const NameMatch& m : names) chosen |= elementsOf(m.chosen(), sys->elementCount);
    // The aqueous data file is read for systems that hold the element at
    // position 31 of the header (the charge), which counts only together
    // with H and O.
    if (fromAqueousFile) {
        constexpr int kAqueousSwitchElement = 30;
        if (sys->elementCount <= kAqueousSwitchElement)
            return fail(kExitUsage, "the database " + o.db + " has fewer than 31 elements, so the aqueous data file "
                                    "is never read (its element 31 calls for it)");
        chosen.set(kAqueousSwitchElement);
        for (const char* symbol : {"H", "O"})
            if (const int e = sys->find(symbol); e >= 0) chosen.set(static_cast<std::size_t>(e));
    }
    auto fitting = [&](const ElementSet& system) {
        int n = 0;
        for (const ElementSet& p : loadable) n += (p & ~system).none() ? 1 : 0;
        return n;
    };
    for (std::size_t k = 0; k < loadable.size() && fitting(chosen) < 2; ++k) {
        const ElementSet wider = chosen | loadable[k];
        if (wider != chosen && static_cast<int>(wider.count()) <= model::kMaxComponents) chosen = wider;
    }
    if (static_cast<int>(chosen.count()) > model::kMaxComponents)
        return fail(kExitUsage, "the items need " + std::to_string(chosen.count()) +
                                    " elements; a chemical system has at most " +
                                    std::to_string(model::kMaxComponents) + ": compute them in separate runs");
    std::string elementLine;
    for (int e = 0; e < sys->elementCount; ++e)
        if (chosen.test(static_cast<std::size_t>(e))) elementLine += elementName(*sys, e) + " ";

    // Second pass: the load itself, as pelkam does it.
    auto table = std::make_unique<model::PhaseTable>();
    sys = std::make_unique<model::ChemicalSystem>();
    streams.rewind(kThermoUnit);
    s = io::readElementHeader(streams, kThermoUnit, *sys, kMessagesUnit);
    if (s) s = io::setSystemLine(*sys, elementLine, calc::kPT, streams, kMessagesUnit);
    // No aqueous data file: an empty one stands in, should the system name
    // the element that calls for it.
    if (s && !o.haveAqueous && streams.open(kAqueousUnit, "aqueous.tmp", io::OpenMode::Scratch) != 0)
        s = core::Status::error("cannot open a scratch unit");
    const model::FluidModelChoice fluid = o.routines;
    if (s) {
        io::LoadOptions load;
        load.unitThermo = kThermoUnit;
        load.unitAqueous = kAqueousUnit;
        load.unitMessages = kMessagesUnit;
        // Aqueous sections are read for activity diagrams only.
        load.diagramType = anyAqueous ? calc::kActT : calc::kPT;
        load.waterRoutine = fluid.water;
        s = io::loadDatabase(load, streams, *sys, *table);
    }
    if (!s) return fail(core::exit_code(s) == 1 ? kExitDataStop : kExitUsage, s.describe());

    // The loaded phase of every name.
    std::vector<int> loadedIndex(names.size(), -1);
    for (std::size_t n = 0; n < names.size(); ++n) {
        const io::ScannedPhase& p = names[n].chosen();
        for (int i = 0; i < table->count && loadedIndex[n] < 0; ++i) {
            const model::PhaseRecord& r = (*table)[i];
            if (r.name == p.name && r.abbreviation == p.abbreviation && r.kind == p.kind) loadedIndex[n] = i;
        }
        if (loadedIndex[n] < 0)
            return fail(kExitUsage, "'" + names[n].written + "' (" + trimmed(p.name) + ", line " +
                                        std::to_string(p.line) + " of " + fileOf(names[n].chosenUnit()) +
                                        ") has no valid data: the " +
                                        (names[n].chosenUnit() == kAqueousUnit ? "aqueous data file" : "database") +
                                        " marks its enthalpy as missing");
    }

    auto models = std::make_unique<model::SolutionModelSet>();
    std::array<double, model::kMaxPhases> logActivity{};  // of the composition file's fixed activities
    auto point = std::make_unique<model::PointState>();
    if (withModels) {
        if (int code = loadSolutionModels(o, *table, *models, logActivity); code != 0) return code;
        // Every end-member asked for needs an activity.
        for (int i : loadedIndex) {
            const model::PhaseRecord& p = (*table)[i];
            if (p.activityModel == 0) continue;
            const model::SolutionModel& sm = models->models[static_cast<std::size_t>(p.activityModel - 1)];
            const model::EndMemberActivity a = model::endMemberActivity(sm, p.activityEndMember, 1.0, 298.15);
            if (a.vanishing)
                return fail(kExitDataStop, model::vanishingActivityMessage(sm, p.activityEndMember, a) +
                                               " (composition file " + o.zun + ", model " + sm.abbreviation + ")");
        }
    }

    // The table of results: items in order, temperature outer, pressure inner.
    struct Row {
        const Item* item;
        const Number* T;
        const Number* P;
        double G;
        double term;  // the solution-model terms (with --models)
        double rho, eps;  // the water of the aqueous species (NaN without one that needs water)
    };
    std::vector<Row> rows;
    rows.reserve(items.size() * o.T.size() * o.P.size());
    auto ctx = std::make_unique<model::GibbsEvaluator>();
    ctx->table = table.get();
    ctx->models = models.get();
    ctx->fluidCache.warn = warningsToStderr();
    auto events = std::make_unique<model::RangeEvents>();
    ctx->events = events.get();
    auto terms = std::make_unique<model::ReactionTerms>();
    std::array<double, model::kMaxPhases> coefficients{};
    bool waterColumns = false;  // some item holds an aqueous species that needs water
    for (const Item& item : items) {
        coefficients.fill(0.0);
        std::array<double, model::kFluidKinds> x{};
        bool aqueous = false, needsWater = false;
        for (const Term& t : item.terms) {
            const int i = loadedIndex[static_cast<std::size_t>(t.match)];
            coefficients[static_cast<std::size_t>(i)] = t.coefficient;
            // Without --xco2 each fluid species taking part is the pure
            // fluid: absent from the fluid it would only get the
            // absent-species value.
            const int kind = (*table)[i].kind;
            if (model::isFluidSpecies(kind, false) && kind < model::kFluidKinds)
                x[static_cast<std::size_t>(kind)] = 1.0;
            aqueous = aqueous || isAqueousKind(kind);
            needsWater = needsWater || (isAqueousKind(kind) && !model::isElectronName((*table)[i].name));
        }
        waterColumns = waterColumns || needsWater;
        if (o.haveX) {
            x[model::kWater] = 1.0 - o.xco2.value;
            x[model::kCarbonDioxide] = o.xco2.value;
        }
        if (item.reaction) {
            model::makeReactionTerms(*table, coefficients.data(), *terms);
        }
        for (const Number& T : o.T)
            for (const Number& P : o.P) {
                *point = model::PointState{};
                point->P = P.value;
                point->t = T.value;
                point->x = x;
                point->fluid = fluid;
                point->logActivity = logActivity;
                const int first = loadedIndex[static_cast<std::size_t>(item.terms[0].match)];
                // With aqueous species a reaction is the sum of the chemical
                // potentials, as on the activity diagrams.
                const double G = !item.reaction ? model::ChemicalPotential(*ctx, *point, first)
                                 : aqueous      ? model::ReactionGibbsBySpecies(*ctx, *point, *terms)
                                                : model::ReactionGibbs(*ctx, *point, *terms);
                // The same temperature as the routines above: single-precision
                // 273.15 for a phase (and the sum of potentials), double for
                // the reaction form.
                const bool reactionForm = item.reaction && !aqueous;
                const double TK = T.value + (reactionForm ? 273.15 : model::kKelvinSingle);
                double term = 0.0;
                for (const Term& t : item.terms) {
                    const model::PhaseRecord& p = (*table)[loadedIndex[static_cast<std::size_t>(t.match)]];
                    term += (item.reaction ? t.coefficient : 1.0) * solutionTerm(p, *models, P.value, TK);
                }
                double rho = std::nan(""), eps = std::nan("");
                if (needsWater) {
                    const model::AqueousWater w =
                        model::aqueousWaterAt(ctx->fluidCache.water, T.value + model::kKelvinSingle, P.value);
                    rho = w.rho;
                    eps = w.eps;
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
    if (reportRangeEvents(*events, table.get())) return kExitNotFinite;
    return 0;
}
