// A plot file made ready for drawing, and the drawings pelkam writes at the
// end of a run.
#pragma once
#include <string>
#include <vector>

#include "core/status.hpp"
#include "io/plot_reader.hpp"
#include "render/diagram_curves.hpp"
#include "render/figure.hpp"
#include "render/invariant_points.hpp"
#include "render/provenance.hpp"
#include "render/summary_reactions.hpp"

namespace render {

struct DrawingOptions {
    FigureOptions figure;
    InvariantTolerance tolerance;  // zero: defaultInvariantTolerance
};

struct Drawing {
    DiagramDescription diagram;
    std::vector<InvariantPoint> invariants;
    Figure figure;
};

// Describes the curves, finds the invariant points and lays out the figure.
// Fails (naming the plot file, line and field) when the plot file cannot be
// drawn; `summary` may be null.
core::Status makeDrawing(const io::PlotFileContents& plot, const std::string& plotPath,
                            const SummaryReactions* summary, const DrawingOptions& options, Drawing& out);

// The drawings of a finished run: the DXF file (named on the completion
// screen) and an SVG beside the plot file, both from the plot file's
// contents, both written whole or not at all.  `summaryPath` (may be empty)
// names the run's summary file, whose reaction texts fill the legend of a
// curve-number diagram.  An empty `dxfPath` or `svgPath` skips that file.
// When one file cannot be written the other is still tried; the status
// names the first failure.
core::Status writeRunDrawings(const io::PlotFileContents& plot, const std::string& plotPath,
                                 const std::string& dxfPath, const std::string& svgPath,
                                 const Provenance& provenance, const std::string& summaryPath = {});
// The same, reading the plot file at `plotPath` first.
core::Status writeRunDrawings(const std::string& plotPath, const std::string& dxfPath, const std::string& svgPath,
                                 const Provenance& provenance, const std::string& summaryPath = {});

}  // namespace render
