// The drawing of plot files: every stretch drawn once in every format, the
// label texts as recorded, every label inside the frame, labels that start
// outside moved along their curves, the DXF read back by a reader of its
// own, provenance in every output, and plot files that cannot be drawn.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include "common/dxf_reader.hpp"
#include "core/text.hpp"
#include "io/plot_reader.hpp"
#include "render/cairo_figure.hpp"
#include "render/drawing.hpp"
#include "render/dxf_writer.hpp"
#include "render/output_file.hpp"
#include "render/svg_writer.hpp"
#include "render/text_metrics.hpp"

namespace {

namespace fs = std::filesystem;

std::string fixture(const std::string& name) { return std::string(PELKAM_FIXTURES) + "/render/" + name; }

struct Loaded {
    io::PlotFileContents plot;
    render::SummaryReactions summary;
    render::Drawing drawing;
};

Loaded load(const std::string& name, bool withSummary = false, render::DrawingOptions options = {}) {
    Loaded l;
    core::Status s = io::readPlotFile(fixture(name), l.plot);
    EXPECT_TRUE(s.ok()) << s.describe();
    if (withSummary) {
        s = render::readSummaryReactions(fixture("aluminosilicates-summary.dat"), "plot.plt", l.summary);
        EXPECT_TRUE(s.ok()) << s.describe();
    }
    s = render::makeDrawing(l.plot, name, withSummary ? &l.summary : nullptr, options, l.drawing);
    EXPECT_TRUE(s.ok()) << s.describe();
    return l;
}

// Stretches of two or more points, counted from the flags alone.
struct Counts {
    int stretches = 0, vertices = 0;
    std::multiset<std::string> labels;
};
Counts countsOf(const io::PlotFileContents& plot) {
    Counts c;
    for (const io::PlotCurveRecord& curve : plot.curves) {
        int run = 0;
        auto close = [&] {
            if (run >= 2) {
                ++c.stretches;
                c.vertices += run;
            }
        };
        for (std::size_t i = 0; i < curve.points.size(); ++i) {
            if (i > 0 && curve.points[i].flag == 3) {
                close();
                run = 0;
            }
            ++run;
        }
        close();
        for (const io::PlotLabelRecord& l : curve.labels) c.labels.insert(std::string(core::trim(l.text)));
    }
    return c;
}

int countOf(const std::string& text, const std::string& what) {
    int n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

std::multiset<std::string> svgTexts(const std::string& svg, const std::string& cls) {
    std::multiset<std::string> out;
    std::regex re("<text class=\"" + cls + "\"[^>]*>([^<]*)</text>");
    for (auto it = std::sregex_iterator(svg.begin(), svg.end(), re); it != std::sregex_iterator(); ++it)
        out.insert((*it)[1]);
    return out;
}

const render::Provenance kProvenance{"pelkam-plot 9.99", "thermo.dat", "MINERALS 1988",
                                     std::string(64, 'a'), "2024-05-01T12:00:00Z"};

class EveryFixture : public ::testing::TestWithParam<const char*> {};

TEST_P(EveryFixture, SvgAndDxfHoldEveryStretchAndLabelInsideTheFrame) {
    Loaded l = load(GetParam());
    const Counts want = countsOf(l.plot);
    const render::Figure& f = l.drawing.figure;

    const std::string svg = render::figureToSvg(f, kProvenance);
    EXPECT_EQ(countOf(svg, "<polyline"), want.stretches);
    EXPECT_EQ(svgTexts(svg, "label"), want.labels);

    // Every label's text box (capitals and descenders) inside the frame.
    const double kPi = 3.14159265358979323846;
    for (const render::FigureText& t : f.texts) {
        if (t.layer != render::Layer::Labels) continue;
        const double a = t.angle * kPi / 180, w = render::textWidth(t.text, t.capHeight);
        const double d = render::kDescentEm * render::fontSizeForCap(t.capHeight);
        // Page y grows downwards: "up" along the text's normal is (-sin, -cos).
        for (double along : {0.0, w})
            for (double up : {-d, t.capHeight}) {
                const double x = t.at.x + along * std::cos(a) - up * std::sin(a);
                const double y = t.at.y - along * std::sin(a) - up * std::cos(a);
                EXPECT_GE(x, f.frameLeft) << t.text;
                EXPECT_LE(x, f.frameLeft + f.frameWidth) << t.text;
                EXPECT_GE(y, f.frameTop) << t.text;
                EXPECT_LE(y, f.frameTop + f.frameHeight) << t.text;
            }
    }

    testdxf::Drawing dxf;
    ASSERT_EQ(testdxf::read(render::figureToDxf(f, kProvenance), dxf), "");
    EXPECT_EQ(dxf.sections, (std::vector<std::string>{"HEADER", "TABLES", "ENTITIES"}));
    int polylines = 0, vertices = 0;
    std::multiset<std::string> texts;
    for (const testdxf::Entity& e : dxf.entities) {
        if (e.type == "POLYLINE") {
            ++polylines;
            vertices += static_cast<int>(e.vertices.size());
            EXPECT_TRUE(e.layer == "CURVES" || e.layer == "WATER") << e.layer;
            // Plot units: the window scaled to W by H.
            for (auto [x, y] : e.vertices) {
                EXPECT_GE(x, -1e-6);
                EXPECT_LE(x, l.plot.width + 1e-6);
                EXPECT_GE(y, -1e-6);
                EXPECT_LE(y, l.plot.height + 1e-6);
            }
        }
        if (e.type == "TEXT" && e.layer == "LABELS") {
            texts.insert(e.text);
            EXPECT_GT(e.height, 0);
        }
    }
    EXPECT_EQ(polylines, want.stretches);
    EXPECT_EQ(vertices, want.vertices);
    EXPECT_EQ(texts, want.labels);
    ASSERT_EQ(dxf.comments.size(), 3u);
    EXPECT_NE(dxf.comments[1].find("MINERALS 1988"), std::string::npos);
    EXPECT_NE(dxf.comments[1].find(std::string(64, 'a')), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, EveryFixture,
                         ::testing::Values("aluminosilicates.plt", "curve-numbers.plt", "water-curve.plt"));

TEST(Labels, OutsideTheWindowMovedAlongTheirCurvesTheOthersKept) {
    Loaded l = load("aluminosilicates.plt");
    const render::Figure& f = l.drawing.figure;
    // Three labels of this file start outside the window (y below 1 bar or x
    // below 200 C); they, and only labels that had to, are moved.
    int outside = 0;
    std::vector<const io::PlotLabelRecord*> records;
    for (const auto& c : l.plot.curves)
        for (const auto& r : c.labels) {
            records.push_back(&r);
            outside += r.x < l.plot.window.xmin || r.y < l.plot.window.ymin ? 1 : 0;
        }
    EXPECT_EQ(outside, 3);
    EXPECT_GE(f.labelsMoved, 3);
    EXPECT_LT(f.labelsMoved, static_cast<int>(records.size()));
    // A label kept where it was: its start is the record's start shifted by
    // its leading blanks (6/7 of the height each, along the text).
    int kept = 0;
    for (const render::FigureText& t : f.texts) {
        if (t.layer != render::Layer::Labels) continue;
        for (const io::PlotLabelRecord* r : records) {
            if (core::trim(r->text) != t.text || std::abs(r->angle - t.angle) > 1e-9) continue;
            const double lead = static_cast<double>(r->text.size() - core::trim(r->text).size() -
                                                    (r->text.size() - core::rtrim(r->text).size()));
            const double a = r->angle * 3.14159265358979323846 / 180;
            const double xp = (r->x - l.plot.window.xmin) / (l.plot.window.xmax - l.plot.window.xmin) * l.plot.width +
                              std::cos(a) * lead * 6 / 7 * r->height;
            const double yp = (r->y - l.plot.window.ymin) / (l.plot.window.ymax - l.plot.window.ymin) * l.plot.height +
                              std::sin(a) * lead * 6 / 7 * r->height;
            const render::PagePoint p = render::toPage(f, xp, yp);
            if (std::abs(p.x - t.at.x) < 1e-6 && std::abs(p.y - t.at.y) < 1e-6) ++kept;
        }
    }
    EXPECT_GE(kept, 4);
    EXPECT_EQ(f.labelsOverlapping, 0);
}

TEST(Labels, OverlappingLabelsSeparatedAlongTheirCurves) {
    // Two parallel horizontal curves close together, both labelled in the
    // middle: the second label slides along its curve.
    io::PlotFileContents plot;
    plot.diagramType = 0;
    plot.window = {0, 100, 0, 100};
    plot.width = plot.height = 20;
    for (double y : {50.0, 52.0}) {
        io::PlotCurveRecord c;
        for (int i = 0; i <= 10; ++i) c.points.push_back({10.0 * i, y, static_cast<short>(i == 0 ? 3 : 2)});
        c.labels.push_back({45, y + 1, 0.35, 0, "A + B"});
        plot.curves.push_back(c);
    }
    render::Drawing d;
    ASSERT_TRUE(render::makeDrawing(plot, "t.plt", nullptr, {}, d).ok());
    EXPECT_EQ(d.figure.labelsOverlapping, 0);
    EXPECT_GE(d.figure.labelsMoved, 1);
}

// The layout of the worked examples and of a crowded 39-phase grid, held to
// what it achieved when these plot files were made (a little slack for the
// crowded ones): every label inside the frame; in the examples no label
// over another or across another curve's line.
TEST(Labels, LayoutOfTheExamplesAndACrowdedGridNoWorse) {
    struct Case {
        const char* plotFile;
        int labels, mostPairs, mostCrossing;
        double mostMeanShift;  // points
    };
    const Case cases[] = {
        {"tests/golden/expected/aluminosilicates/plot.plt", 10, 0, 0, 34},
        {"tests/golden/expected/calcite-quartz-pt/plot.plt", 2, 0, 0, 1},
        {"tests/golden/expected/thermobarometry/plot.plt", 4, 0, 0, 27},
        {"tests/golden/expected/kfmash-grid/plot.plt", 348, 2700, 340, 66},
        {"tests/golden/grids/kfmash-39.plt", 526, 5050, 525, 58},
    };
    for (const Case& c : cases) {
        io::PlotFileContents plot;
        ASSERT_TRUE(io::readPlotFile(std::string(PELKAM_SOURCE_DIR) + "/" + c.plotFile, plot).ok()) << c.plotFile;
        render::DrawingOptions options;
        options.figure.measureLayout = true;
        render::Drawing d;
        ASSERT_TRUE(render::makeDrawing(plot, c.plotFile, nullptr, options, d).ok());
        const render::LayoutQuality& q = d.figure.quality;
        EXPECT_EQ(q.labels, c.labels) << c.plotFile;
        EXPECT_EQ(q.outside, 0) << c.plotFile;
        EXPECT_LE(q.overlappingPairs, c.mostPairs) << c.plotFile;
        EXPECT_LE(q.crossingLabels, c.mostCrossing) << c.plotFile;
        EXPECT_LE(q.meanShift, c.mostMeanShift) << c.plotFile;
    }
}

TEST(Legend, CurveNumbersListTheirReactionsFromTheSummary) {
    Loaded with = load("curve-numbers.plt", true);
    EXPECT_EQ(with.drawing.diagram.style, render::LabelStyle::CurveNumber);
    const std::multiset<std::string> legend = svgTexts(render::figureToSvg(with.drawing.figure, kProvenance), "legend");
    for (const char* r : {"Ky = And", "And + Kfs + H2O = Qz + Ms", "Sil = And", "Ky = Sil", "Kfs + Sil + H2O = Qz + Ms"})
        EXPECT_EQ(legend.count(r), 1u) << r;
    EXPECT_FALSE(with.drawing.figure.legendWithoutReactions);

    Loaded without = load("curve-numbers.plt");
    EXPECT_TRUE(without.drawing.figure.legendWithoutReactions);
    EXPECT_EQ(svgTexts(render::figureToSvg(without.drawing.figure, kProvenance), "legend").size(), 0u);

    // Reaction-text labels get a legend only when asked for.
    EXPECT_EQ(svgTexts(render::figureToSvg(load("aluminosilicates.plt").drawing.figure, kProvenance), "legend").size(),
              0u);
    render::DrawingOptions o;
    o.figure.legend = true;
    EXPECT_EQ(
        svgTexts(render::figureToSvg(load("aluminosilicates.plt", true, o).drawing.figure, kProvenance), "legend").size(),
        1u + 2 * 5);  // heading, then number and reaction per curve
}

TEST(Provenance, InPdfAndPngMetadataAndFromTheDatabaseFile) {
    Loaded l = load("water-curve.plt");
    std::string pdf, png;
    ASSERT_TRUE(render::figureToPdf(l.drawing.figure, kProvenance, pdf).ok());
    ASSERT_TRUE(render::figureToPng(l.drawing.figure, kProvenance, 72, png).ok());
    EXPECT_EQ(pdf.substr(0, 5), "%PDF-");
    EXPECT_NE(pdf.find("pelkam-plot 9.99"), std::string::npos);
    EXPECT_EQ(png.substr(1, 3), "PNG");
    EXPECT_NE(png.find(std::string("tEXtSource") + '\0' + "database: thermo.dat"), std::string::npos);
    EXPECT_NE(png.find(std::string(64, 'a')), std::string::npos);

    render::Provenance p;
    ASSERT_TRUE(render::describeDatabase(std::string(PELKAM_SOURCE_DIR) + "/data/thermo1988.dat", p).ok());
    EXPECT_EQ(p.databaseLabel, "MINERALS 1988");
    EXPECT_EQ(p.databaseSha256.size(), 64u);
    EXPECT_EQ(render::databaseLine(render::Provenance{}), "database: not given");
    EXPECT_FALSE(render::describeDatabase("no-such-database.dat", p).ok());
}

TEST(PlotFiles, ThatCannotBeDrawnNameTheLine) {
    io::PlotFileContents plot;
    ASSERT_TRUE(io::readPlotFile(fixture("aluminosilicates.plt"), plot).ok());
    render::Drawing d;
    io::PlotFileContents empty = plot;
    empty.window.xmax = empty.window.xmin;
    core::Status s = render::makeDrawing(empty, "p.plt", nullptr, {}, d);
    EXPECT_FALSE(s.ok());
    EXPECT_EQ(s.line, 3);
    EXPECT_EQ(s.file, "p.plt");
    io::PlotFileContents flat = plot;
    flat.height = 0;
    s = render::makeDrawing(flat, "p.plt", nullptr, {}, d);
    EXPECT_EQ(s.line, 4);
    io::PlotFileContents note = plot;
    note.labelLines = {"    1", "   12x.000"};
    s = render::makeDrawing(note, "p.plt", nullptr, {}, d);
    EXPECT_FALSE(s.ok());
    EXPECT_EQ(s.line, 7 + 2 + 1 + 1);  // the second label line of the header
}

TEST(OutputFiles, WrittenWholeOrNotAtAll) {
    const fs::path dir = fs::path(PELKAM_BINARY_DIR) / "render-output-test";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string target = (dir / "d.svg").string();
    ASSERT_TRUE(render::writeFileAtomically(target, "one").ok());
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_TRUE(render::writeFileAtomically(target, "two").ok());
    std::ifstream in(target);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "two");
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    core::Status s = render::writeFileAtomically((dir / "missing" / "d.svg").string(), "x");
    EXPECT_FALSE(s.ok());
    EXPECT_NE(s.file.find("missing"), std::string::npos);
    EXPECT_FALSE(render::writeFileAtomically(dir.string(), "x").ok());  // a directory
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);  // no temporary left
    fs::remove_all(dir);
}

}  // namespace

namespace {

TEST(RunDrawings, DxfAndSvgOfAFinishedRun) {
    const fs::path dir = fs::path(PELKAM_BINARY_DIR) / "render-run-drawings-test";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string dxf = (dir / "plot.dxf").string(), svg = (dir / "plot.svg").string();
    core::Status s = render::writeRunDrawings(fixture("curve-numbers.plt"), dxf, svg, kProvenance,
                                                 fixture("aluminosilicates-summary.dat"));
    ASSERT_TRUE(s.ok()) << s.describe();
    std::ifstream in(svg);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(svgTexts(text, "legend").count("Ky = Sil"), 1u);
    testdxf::Drawing d;
    std::ifstream din(dxf);
    EXPECT_EQ(testdxf::read(std::string((std::istreambuf_iterator<char>(din)), std::istreambuf_iterator<char>()), d), "");
    // A DXF that cannot be written does not keep the SVG from being written.
    fs::remove(svg);
    s = render::writeRunDrawings(fixture("curve-numbers.plt"), (dir / "no" / "plot.dxf").string(), svg, kProvenance);
    EXPECT_FALSE(s.ok());
    EXPECT_TRUE(fs::exists(svg));
    // A plot file that cannot be read writes nothing.
    fs::remove(svg);
    EXPECT_FALSE(render::writeRunDrawings((dir / "none.plt").string(), dxf + "2", svg, kProvenance).ok());
    EXPECT_FALSE(fs::exists(svg));
    fs::remove_all(dir);
}

}  // namespace
