#include "render/drawing.hpp"

#include "render/dxf_writer.hpp"
#include "render/output_file.hpp"
#include "render/svg_writer.hpp"

namespace render {

records::Status makeDrawing(const reactions::PlotFileContents& plot, const std::string& plotPath,
                            const SummaryReactions* summary, const DrawingOptions& options, Drawing& out) {
    out = Drawing{};
    if (records::Status s = describeDiagram(plot, plotPath, summary, out.diagram); !s) return s;
    InvariantTolerance tol = options.tolerance;
    if (!(tol.x > 0) || !(tol.y > 0)) {
        const InvariantTolerance def = defaultInvariantTolerance(plot);
        if (!(tol.x > 0)) tol.x = def.x;
        if (!(tol.y > 0)) tol.y = def.y;
    }
    out.invariants = findInvariantPoints(plot, out.diagram, tol);
    out.figure = buildFigure(plot, out.diagram, out.invariants, options.figure);
    return records::Status::success();
}

records::Status writeRunDrawings(const reactions::PlotFileContents& plot, const std::string& plotPath,
                                 const std::string& dxfPath, const std::string& svgPath,
                                 const Provenance& provenance, const std::string& summaryPath) {
    SummaryReactions summary;
    const SummaryReactions* given = nullptr;
    if (!summaryPath.empty()) {
        if (records::Status s = readSummaryReactions(summaryPath, plotPath, summary); !s) return s;
        given = &summary;
    }
    Drawing d;
    if (records::Status s = makeDrawing(plot, plotPath, given, DrawingOptions{}, d); !s) return s;
    // Both are tried; the first failure is reported.
    records::Status result = records::Status::success();
    if (!dxfPath.empty()) result = writeFileAtomically(dxfPath, figureToDxf(d.figure, provenance));
    if (!svgPath.empty())
        if (records::Status s = writeFileAtomically(svgPath, figureToSvg(d.figure, provenance)); !s && result.ok())
            result = s;
    return result;
}

records::Status writeRunDrawings(const std::string& plotPath, const std::string& dxfPath, const std::string& svgPath,
                                 const Provenance& provenance, const std::string& summaryPath) {
    reactions::PlotFileContents plot;
    if (records::Status s = reactions::readPlotFile(plotPath, plot); !s) return s;
    return writeRunDrawings(plot, plotPath, dxfPath, svgPath, provenance, summaryPath);
}

}  // namespace render
