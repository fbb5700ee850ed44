// The mineral schemes: every analysis goes through the shared recalculation
// with its scheme's formula unit, then through the scheme's site model.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formula/elements.hpp"
#include "formula/recalc.hpp"

namespace formula {

// The options of a run that the schemes use (the screen's answers).
struct SchemeOptions {
    bool ferric = false;          // use the calculated Fe3+
    bool garnet3Percent = false;  // garnet: Fe3+ = 3 % of total Fe (wins over `ferric` for garnet)
    double garnetOffset = 0;      // subtracted from Fe/(Fe+Mg) in the garnet plot files
    double temperatureK = 993.15; // garnet activity estimates, K
    // Amphibole Mg-Fe order constant K = (Fe/Mg)M4 / (Fe/Mg)M1-M3; 1 distributes
    // Mg and Fe alike over the M sites.
    double amphiboleOrderConstant = 1.0;
};

// One analysis as read from an oxide file.
struct Analysis {
    std::string code = std::string(kNoCode);  // four characters
    std::string label;                       // at most 20 characters
    bool hasMap = false;
    double mapX = 0, mapY = 0;
    OxideValues oxides{};
    float extraValue = 0;        // "BIO6": the value after the last labelled column (0 none)
    bool feldsparFlag = false;   // "PLAG"/"KSPR": the line gives An, Ab, Or instead of oxides
    double analysisSum = 0;      // sum of the oxide values read (totals left out)
    int number = 0;              // running number in the file
};

// A mineral entry of the composition file.
struct CompositionEntry {
    std::string code;    // four characters: the solution model it feeds
    std::string header;  // site labels and the Fe3+ numbers
    std::vector<double> values;
};

// A named site or end-member fraction, for callers of the library.
struct Fraction {
    std::string name;
    double value = 0;
};

// One analysis's point in a family of plot files.
struct PlotSample {
    std::string family;  // "garn", "biot", ... ("" when the scheme plots nothing)
    double values[3] = {0, 0, 0};
};

struct SchemeResult {
    std::string scheme;                 // the code that chose the scheme
    std::vector<Recalculation> passes;  // garnet has two; feldspars with the flag none
    double fe3Used = 0;                 // Fe3+ the site model used (cations per formula unit)
    std::vector<Fraction> fractions;
    std::optional<CompositionEntry> entry;
    std::vector<std::string> log;       // lines for zun.log
    PlotSample plot;
    std::string tableFile;              // "spinel.dat" / "ilmenite.dat" or ""
    std::string tableLine;
};

// True when `code` (four characters) has a scheme.
bool hasScheme(std::string_view code);
// Runs the scheme of a.code.  An analysis whose code has no scheme gets an
// empty result.
SchemeResult runScheme(const Analysis& a, const SchemeOptions& o);

// The plot-file families: base name, title, three series names, y maximum.
struct PlotFamily {
    const char* name;
    const char* title;
    const char* series[3];
    double yMax;
};
const PlotFamily* plotFamily(std::string_view name);

// The header lines of the spinel and ilmenite tables.
std::string tableHeading(std::string_view tableFile);

namespace detail {
// Parts of the schemes shared between their source files.
void logRecalculation(SchemeResult& r, const Recalculation& x);
void amphibole(SchemeResult& r, const Analysis& a, const SchemeOptions& o);
}  // namespace detail

}  // namespace formula
