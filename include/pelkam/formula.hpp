// Mineral formulae from electron-microprobe analyses, as the formula
// utility recalculates them: cations per formula unit (ferric iron by charge
// balance when asked), the site or end-member fractions of the mineral's
// scheme and the entry it writes to a composition file.
//
// Units: oxides in weight per cent; cations per formula unit of the scheme
// (e.g. 12 oxygens for garnet, 6 for clinopyroxene); temperature in degrees C.
#pragma once
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "pelkam/error.hpp"

namespace pelkam {

struct FormulaOptions {
    bool ferric = false;          // use the Fe3+ the charge balance gives
    bool garnet3Percent = false;  // garnet: Fe3+ = 3 % of total Fe (wins over `ferric` for garnet)
    double garnetOffset = 0;      // subtracted from Fe/(Fe+Mg) in the garnet plot values
    double temperature_C = 720;   // garnet activity estimates
    // Amphibole Mg-Fe order constant K = (Fe/Mg)M4 / (Fe/Mg)M1-M3.
    double amphiboleOrderConstant = 1.0;
};

struct FormulaValue {
    std::string name;
    double value = 0;
};

// One pass of the recalculation (garnet has two, the second with the Fe3+
// of the first).
struct FormulaPass {
    // Cations per formula unit after the Fe3+ step, by element symbol (Si,
    // Ti, Al, Fe3, Fe2, Mn, Mg, Ca, Na, K, Cr, Ba, Ni, F, Zn, Nb, V, Sr, Cl;
    // F and Cl are anions, outside the cation sum).
    std::vector<FormulaValue> cations;
    double cationSum = 0;  // the cations, F and Cl left out
    double charge = 0;     // total positive charge before the Fe3+ step
    double alIV = 0, alVI = 0;
};

struct MineralFormula {
    std::string scheme;                // the four-character code that chose the scheme
    std::vector<FormulaPass> passes;   // none for a feldspar given as An, Ab, Or
    double fe3Used = 0;                // Fe3+ per formula unit the site model used
    std::vector<FormulaValue> fractions;  // site and end-member fractions (and activities where computed)
    // The composition-file entry: the solution-model code, its header line
    // and its values (empty code when the scheme writes none).
    std::string entryCode, entryHeader;
    std::vector<double> entryValues;
    std::vector<std::string> log;      // the lines the utility writes to its log for the analysis
};

// Recalculates one analysis with the scheme of `code` ("GARN", "BIOT",
// "CPX2", "PLAG", "AMPH", "SPIN", "ILME", "OLIV", ...; case-blind).  Oxide
// names are those of an oxide-label line ("SiO2", "FeO", "Fe2O3", "MnO", ...;
// totals are ignored).  Errors (Request): an unknown code, an oxide name no
// label matches (field = its position in the list, value = the name).
Result<MineralFormula> recalculateOxides(const std::vector<std::pair<std::string, double>>& oxidesWtPercent,
                                         std::string_view code, const FormulaOptions& options = {});

}  // namespace pelkam
