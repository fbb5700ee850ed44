#include "render/drawing.hpp"

#include "render/dxf_writer.hpp"
#include "render/output_file.hpp"
#include "render/svg_writer.hpp"

namespace render {

core::Status makeDrawing(const io::PlotFileContents& plot, const std::string& plotPath,
                            const SummaryReactions* summary, const DrawingOptions& options, Drawing& out) {
    out = Drawing{};
    if (core::Status s = describeDiagram(plot, plotPath, summary, out.diagram); !s) return s;
    InvariantTolerance tol = options.tolerance;
    if (!(tol.x > 0) || !(tol.y > 0)) {
        const InvariantTolerance def = defaultInvariantTolerance(plot);
        if (!(tol.x > 0)) tol.x = def.x;
        if (!(tol.y > 0)) tol.y = def.y;
    }
    out.invariants = findInvariantPoints(plot, out.diagram, tol);
    out.figure = buildFigure(plot, out.diagram, out.invariants, options.figure);
    return core::Status::success();
}

core::Status writeRunDrawings(const io::PlotFileContents& plot, const std::string& plotPath,
                                 const std::string& dxfPath, const std::string& svgPath,
                                 const Provenance& provenance, const std::string& summaryPath) {
    SummaryReactions summary;
    const SummaryReactions* given = nullptr;
    if (!summaryPath.empty()) {
        if (core::Status s = readSummaryReactions(summaryPath, plotPath, summary); !s) return s;
        given = &summary;
    }
    Drawing d;
    if (core::Status s = makeDrawing(plot, plotPath, given, DrawingOptions{}, d); !s) return s;
    // Both are tried; the first failure is reported.
    core::Status result = core::Status::success();
    if (!dxfPath.empty()) result = writeFileAtomically(dxfPath, figureToDxf(d.figure, provenance));
    if (!svgPath.empty())
        if (core::Status s = writeFileAtomically(svgPath, figureToSvg(d.figure, provenance)); !s && result.ok())
            result = s;
    return result;
}

core::Status writeRunDrawings(const std::string& plotPath, const std::string& dxfPath, const std::string& svgPath,
                                 const Provenance& provenance, const std::string& summaryPath) {
    io::PlotFileContents plot;
    if (core::Status s = io::readPlotFile(plotPath, plot); !s) return s;
    return writeRunDrawings(plot, plotPath, dxfPath, svgPath, provenance, summaryPath);
}

}  // namespace render
