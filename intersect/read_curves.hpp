// The curves of a plot file as values for the intersection analysis: their
// stretches, their reactions and coefficients, and whether the run kept its
// stable stretches only.  The coefficients come from the reaction texts (the
// summary's curve listing, or the labels of the plot file when they are the
// reaction's two sides), else from the restart file's rows of calculated
// reactions when it has one row per plotted curve.
#pragma once
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "intersect/intersect.hpp"
#include "io/plot_reader.hpp"
#include "core/status.hpp"

namespace intersect {

// What the reading found, for the report.
struct CurveSources {
    std::string plotFile, summaryFile, restartFile;  // as read; empty when not given
    int diagramType = 0;
    std::string diagramName;          // "P-T", ...
    std::string xTitle, yTitle;       // axis titles of the plot file, trimmed
    std::string coefficientsFrom;     // "summary", "plot labels", "restart file", or empty when not known
    bool stabilityKnown = false;      // the summary or the restart file says which curves the run kept
    bool stableOnly = true;           // the run kept its stable stretches only
    std::vector<std::string> notes;   // what the reader could not use, for the user
};

// A reaction text "2 A + B = 3 C" as terms (coefficient, name): reactants
// negative.  False when the text has no "=" or a side has no term.
bool parseReactionText(std::string_view text, std::vector<std::pair<std::string, double>>& terms);

// The summary file that belongs to a plot file when none is named: beside
// the plot file, the plot file's name with the extension "sum" (batch runs),
// else "summary.dat"; empty when neither exists.
std::string summaryBeside(const std::string& plotPath);

// The curves of `plot` (read from `plotPath`), with the reactions and
// coefficients from the summary at `summaryPath` and the restart file at
// `restartPath` (either may be empty).  A summary whose reactions are not
// those of the plot labels (another run's) is not used, with a note.
// Fails, naming file, line and field, when the plot file cannot be drawn or
// a named file cannot be read.
core::Status curvesOfPlot(const io::PlotFileContents& plot, const std::string& plotPath,
                             const std::string& summaryPath, const std::string& restartPath, CurveSet& out,
                             CurveSources& sources);
// The same, reading the plot file first.
core::Status readCurves(const std::string& plotPath, const std::string& summaryPath,
                           const std::string& restartPath, CurveSet& out, CurveSources& sources);

// Records of a restart file that the Monte Carlo runs need: the composition
// file the run read (the record "FILE OF MINERAL COMPS"; empty when none),
// and its line (0 when none).
std::pair<std::string, int> restartCompositionFile(std::span<const std::string> lines);

}  // namespace intersect
