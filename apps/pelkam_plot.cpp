// pelkam-plot: draws a plot file written by pelkam as SVG, PDF, PNG or DXF,
// and writes its curve points and invariant points as tables.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "core/text.hpp"
#include "intersect/intersect.hpp"
#include "intersect/read_curves.hpp"
#include "io/plot_reader.hpp"
#include "render/cairo_figure.hpp"
#include "render/drawing.hpp"
#include "render/dxf_writer.hpp"
#include "render/output_file.hpp"
#include "render/svg_writer.hpp"
#include "render/tables.hpp"

#ifndef PELKAM_VERSION
#define PELKAM_VERSION "unknown"
#endif

namespace {

void usage(std::FILE* out) {
    std::fprintf(out,
                 "Usage: pelkam-plot FILE.plt [options]\n"
                 "       pelkam-plot --help | --version\n"
                 "\n"
                 "Draws the diagram of a plot file written by pelkam: the framed window with axis\n"
                 "ticks and titles, every curve stretch, the labels (moved along their curves to\n"
                 "lie inside the frame and clear of each other), the liquid-vapour curve of water,\n"
                 "the composition-file labels and the invariant points.  The plot file itself is\n"
                 "not changed.\n"
                 "\n"
                 "Options:\n"
                 "  -o, --output OUT      write the diagram to OUT; the extension gives the format:\n"
                 "                        .svg, .pdf, .png or .dxf (may be repeated; without any\n"
                 "                        output option the diagram goes to FILE.svg)\n"
                 "  --csv OUT.csv         write every curve point: curve,reaction,stretch,x,y,flag\n"
                 "  --invariant-points OUT.csv\n"
                 "                        write the invariant points: point,x,y,curves,phases\n"
                 "  --summary FILE        the run's summary file; its reaction texts fill the legend\n"
                 "                        and the tables (needed when the curves carry numbers)\n"
                 "  --legend              draw a legend of curve numbers and reactions (drawn\n"
                 "                        anyway when the curves are labelled by number)\n"
                 "  --curve-numbers       label each stretch with its curve number instead of the\n"
                 "                        reaction, and draw the legend (for crowded grids)\n"
                 "  --no-invariant-points do not mark the invariant points on the diagram\n"
                 "  --intersections       mark the intersections of the stable curves, their mean\n"
                 "                        and its 1-sigma and 2-sigma ellipses (pelkam-intersect\n"
                 "                        reports them; the summary tells dependent reactions)\n"
                 "  --db DATABASE         the run's thermodynamic database: its name, label and\n"
                 "                        SHA-256 are recorded in every output\n"
                 "  --dpi N               resolution of PNG output (default 150)\n"
                 "  --label-scale F       factor on the label heights of the plot file (default 1)\n"
                 "  --help                show this help and exit\n"
                 "  --version             show the version and exit\n"
                 "\n"
                 "Invariant points are where stable stretches of curves end together (within\n"
                 "0.1 C and 1 bar; 2e-4 of the range on composition and activity axes) and at\n"
                 "least three curves meet, counting curves that go on through the point.\n"
                 "Outputs are written whole or not at all.\n"
                 "Exit status: 0 done, 1 an input could not be read or an output not written,\n"
                 "2 wrong usage.\n");
}

enum class Format { Svg, Pdf, Png, Dxf, Unknown };

Format formatOf(const std::string& path) {
    const std::size_t dot = path.find_last_of('.');
    const std::size_t slash = path.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return Format::Unknown;
    const std::string ext = core::upper(path.substr(dot + 1));
    if (ext == "SVG") return Format::Svg;
    if (ext == "PDF") return Format::Pdf;
    if (ext == "PNG") return Format::Png;
    if (ext == "DXF") return Format::Dxf;
    return Format::Unknown;
}

// FILE.plt -> FILE.svg (an extension is replaced, a name without one extended).
std::string defaultSvgName(const std::string& plot) {
    const std::size_t dot = plot.find_last_of('.');
    const std::size_t slash = plot.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash) || dot == 0 ||
        (slash != std::string::npos && dot == slash + 1))
        return plot + ".svg";
    return plot.substr(0, dot) + ".svg";
}

bool parseNumber(const std::string& text, double& v) {
    char* end = nullptr;
    v = std::strtod(text.c_str(), &end);
    return !text.empty() && end != nullptr && *end == '\0' && std::isfinite(v);
}

int fail(const core::Status& s) {
    std::fprintf(stderr, "pelkam-plot: %s\n", s.describe().c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::string plotPath, csvPath, invariantPath, summaryPath, dbPath;
    std::vector<std::string> outputs;
    render::DrawingOptions options;
    double dpi = 150;
    bool intersections = false;
    auto usageError = [](const std::string& message) {
        std::fprintf(stderr, "pelkam-plot: %s\n(pelkam-plot --help lists the options)\n", message.c_str());
        return 2;
    };
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        std::string value;
        bool hasInline = false;
        if (a.rfind("--", 0) == 0 && a.find('=') != std::string::npos) {
            value = a.substr(a.find('=') + 1);
            a = a.substr(0, a.find('='));
            hasInline = true;
        }
        auto next = [&](std::string& into) {
            if (hasInline) {
                into = value;
                return true;
            }
            if (i + 1 >= argc) return false;
            into = argv[++i];
            return true;
        };
        if (a == "--help" || a == "-h") {
            usage(stdout);
            return 0;
        }
        if (a == "--version") {
            std::printf("pelkam-plot %s\n", PELKAM_VERSION);
            return 0;
        }
        std::string v;
        if (a == "-o" || a == "--output") {
            if (!next(v) || v.empty()) return usageError(a + " needs a file name");
            outputs.push_back(v);
        } else if (a == "--csv") {
            if (!next(csvPath) || csvPath.empty()) return usageError("--csv needs a file name");
        } else if (a == "--invariant-points") {
            if (!next(invariantPath) || invariantPath.empty()) return usageError("--invariant-points needs a file name");
        } else if (a == "--summary") {
            if (!next(summaryPath) || summaryPath.empty()) return usageError("--summary needs a file name");
        } else if (a == "--db") {
            if (!next(dbPath) || dbPath.empty()) return usageError("--db needs a file name");
        } else if (a == "--legend") {
            options.figure.legend = true;
        } else if (a == "--curve-numbers") {
            options.figure.curveNumbers = true;
        } else if (a == "--no-invariant-points") {
            options.figure.invariantPoints = false;
        } else if (a == "--intersections") {
            intersections = true;
        } else if (a == "--dpi") {
            if (!next(v) || !parseNumber(v, dpi) || dpi < 10 || dpi > 1200)
                return usageError("--dpi needs a resolution between 10 and 1200");
        } else if (a == "--label-scale") {
            double f = 0;
            if (!next(v) || !parseNumber(v, f) || f < 0.1 || f > 10)
                return usageError("--label-scale needs a factor between 0.1 and 10");
            options.figure.labelScale = f;
        } else if (!a.empty() && a[0] == '-' && a != "-") {
            return usageError("unknown option '" + a + "'");
        } else if (plotPath.empty()) {
            plotPath = a;
        } else {
            return usageError("more than one plot file given ('" + plotPath + "' and '" + a + "')");
        }
    }
    if (plotPath.empty()) return usageError("no plot file given");
    if (outputs.empty() && csvPath.empty() && invariantPath.empty()) outputs.push_back(defaultSvgName(plotPath));
    for (const std::string& o : outputs)
        if (formatOf(o) == Format::Unknown)
            return usageError("cannot tell the format of '" + o + "' from its extension: use .svg, .pdf, .png or .dxf");

    // Everything is read and laid out before anything is written.
    io::PlotFileContents plot;
    {
        std::error_code ec;
        if (!std::filesystem::is_regular_file(plotPath, ec)) {
            core::Status s = core::Status::error(
                "cannot open the plot file", std::filesystem::exists(plotPath, ec) ? "not a file" : "no such file");
            s.file = plotPath;
            return fail(s);
        }
    }
    if (core::Status s = io::readPlotFile(plotPath, plot); !s) return fail(s);
    render::SummaryReactions summary;
    if (!summaryPath.empty())
        if (core::Status s = render::readSummaryReactions(summaryPath, plotPath, summary); !s) return fail(s);
    render::Provenance provenance;
    provenance.program = std::string("pelkam-plot ") + PELKAM_VERSION;
    provenance.date = render::isoDateNow();
    if (!dbPath.empty())
        if (core::Status s = render::describeDatabase(dbPath, provenance); !s) return fail(s);
    if (intersections) {
        // The summary beside the plot file tells dependent reactions when none is given.
        intersect::CurveSet set;
        intersect::CurveSources src;
        const std::string sum = summaryPath.empty() ? intersect::summaryBeside(plotPath) : summaryPath;
        if (core::Status s = intersect::curvesOfPlot(plot, plotPath, sum, {}, set, src); !s) return fail(s);
        const intersect::Analysis an = intersect::analyse(set);
        if (an.scatter.count == 0) {
            std::fprintf(stderr, "pelkam-plot: warning: the stable curves do not meet inside the window: no "
                                 "intersection to mark\n");
        } else {
            render::IntersectionMarks& im = options.figure.intersections;
            im.shown = true;
            im.x = an.scatter.mean.x;
            im.y = an.scatter.mean.y;
            im.varX = an.scatter.varX;
            im.varY = an.scatter.varY;
            im.covXY = an.scatter.covXY;
            for (int n : an.used) {
                const intersect::Point p = an.intersections[static_cast<std::size_t>(n)].at;
                im.points.push_back({p.x, p.y});
            }
            char text[96];
            if (plot.diagramType == 0)
                std::snprintf(text, sizeof text, "%.1f C, %.0f bar", im.x, im.y);
            else
                std::snprintf(text, sizeof text, "%.4g, %.4g", im.x, im.y);
            im.text = text;
        }
    }
    render::Drawing d;
    if (core::Status s = render::makeDrawing(plot, plotPath, summaryPath.empty() ? nullptr : &summary, options, d);
        !s)
        return fail(s);

    if (!summaryPath.empty() && summary.curves.empty())
        std::fprintf(stderr, "pelkam-plot: warning: the summary file %s lists no plotted reaction\n",
                     summaryPath.c_str());
    if (d.figure.legendWithoutReactions)
        std::fprintf(stderr,
                     "pelkam-plot: warning: the curves carry numbers only; give the run's summary file with "
                     "--summary to list their reactions in a legend\n");
    if (d.figure.labelsOverlapping > 0)
        std::fprintf(stderr,
                     "pelkam-plot: note: %d labels found no place free of other labels on their curves "
                     "(--label-scale below 1 makes room)\n",
                     d.figure.labelsOverlapping);

    int status = 0;
    auto put = [&](const std::string& path, const std::string& bytes) {
        if (core::Status s = render::writeFileAtomically(path, bytes); !s) {
            fail(s);
            status = 1;
        } else {
            std::printf("pelkam-plot: wrote %s\n", path.c_str());
        }
    };
    for (const std::string& o : outputs) {
        std::string bytes;
        core::Status s;
        switch (formatOf(o)) {
            case Format::Svg: bytes = render::figureToSvg(d.figure, provenance); break;
            case Format::Dxf: bytes = render::figureToDxf(d.figure, provenance); break;
            case Format::Pdf: s = render::figureToPdf(d.figure, provenance, bytes); break;
            case Format::Png: s = render::figureToPng(d.figure, provenance, dpi, bytes); break;
            case Format::Unknown: break;
        }
        if (!s) {
            s.file = o;
            fail(s);
            status = 1;
            continue;
        }
        put(o, bytes);
    }
    if (!csvPath.empty()) put(csvPath, render::curvePointsCsv(plot, d.diagram));
    if (!invariantPath.empty()) put(invariantPath, render::invariantPointsCsv(d.invariants));
    return status;
}
