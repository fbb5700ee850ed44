// pelkam-plot on the plot files of the worked examples, as a user runs it:
// SVG, DXF, PNG and the two tables from each example; every stretch and label
// in the SVG and (read back by the tests' own reader) in the DXF; labels
// inside the frame; the invariant points of the KFMASH grid; and plot files
// that are cut short or wrong.
#include <gtest/gtest.h>

#include <cmath>
#include <regex>
#include <set>

#include "common/dxf_reader.hpp"
#include "core/text.hpp"
#include "io/plot_reader.hpp"
#include "run_helpers.hpp"

using apptest::fs::path;
using apptest::runProgram;
using apptest::WorkDir;

namespace {

struct Expected {
    int stretches = 0;
    std::multiset<std::string> labels;
};

Expected expectedOf(const io::PlotFileContents& plot) {
    Expected e;
    for (const io::PlotCurveRecord& c : plot.curves) {
        int run = 0;
        for (std::size_t i = 0; i <= c.points.size(); ++i) {
            if (i == c.points.size() || (i > 0 && c.points[i].flag == 3)) {
                e.stretches += run >= 2 ? 1 : 0;
                run = 0;
            }
            ++run;
        }
        for (const io::PlotLabelRecord& l : c.labels) e.labels.insert(std::string(core::trim(l.text)));
    }
    return e;
}

// Runs an example, then pelkam-plot on its plot file.
struct Plotted {
    io::PlotFileContents plot;
    apptest::RunResult result;
    std::string svg, dxf, csv, invariants;
};

Plotted plotExample(WorkDir& w, const std::string& name) {
    const path root(PELKAM_SOURCE_DIR);
    apptest::fs::copy(root / "examples" / name, w.path,
                      apptest::fs::copy_options::recursive | apptest::fs::copy_options::overwrite_existing);
    apptest::fs::copy_file(root / "data" / "rxtns_calib.dat", w.path / "rxtns_calib.dat");
    w.write("PELKAM.fig", apptest::bundledConfig(w));
    Plotted p;
    apptest::RunResult run = runProgram(PELKAM_EXE, {"--script", "answers.txt"}, w.path);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    core::Status s = io::readPlotFile((w.path / "plot.plt").string(), p.plot);
    EXPECT_TRUE(s.ok()) << s.describe();
    p.result = runProgram(PELKAM_PLOT_EXE,
                           {"plot.plt", "-o", "plot.svg", "-o", "plot.dxf", "-o", "plot.png", "--csv", "points.csv",
                            "--invariant-points", "invariant.csv", "--summary", "summary.dat", "--db", "thermo1988.dat"},
                           w.path);
    EXPECT_EQ(p.result.exitCode, 0) << p.result.err;
    p.svg = w.read("plot.svg");
    p.dxf = w.read("plot.dxf");
    p.csv = w.read("points.csv");
    p.invariants = w.read("invariant.csv");
    EXPECT_TRUE(w.exists("plot.png"));
    return p;
}

int lineCount(const std::string& text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); }

class Example : public ::testing::TestWithParam<const char*> {};

TEST_P(Example, EveryStretchAndLabelInSvgAndDxfAndInsideTheFrame) {
    WorkDir w(std::string("plot-") + GetParam());
    Plotted p = plotExample(w, GetParam());
    const Expected want = expectedOf(p.plot);
    ASSERT_GT(want.stretches, 0);

    // SVG: one polyline per stretch; the label texts as recorded.
    int polylines = 0;
    for (std::size_t at = p.svg.find("<polyline"); at != std::string::npos; at = p.svg.find("<polyline", at + 1))
        ++polylines;
    EXPECT_EQ(polylines, want.stretches);
    std::smatch frame;
    ASSERT_TRUE(std::regex_search(p.svg, frame,
                                  std::regex("<clipPath id=\"frame\"><rect x=\"([-0-9.]+)\" y=\"([-0-9.]+)\" "
                                             "width=\"([-0-9.]+)\" height=\"([-0-9.]+)\"")));
    const double fx = std::stod(frame[1]), fy = std::stod(frame[2]), fw = std::stod(frame[3]), fh = std::stod(frame[4]);
    std::multiset<std::string> labels;
    std::regex text(
        "<text class=\"label\" x=\"([-0-9.]+)\" y=\"([-0-9.]+)\" font-size=\"([0-9.]+)\""
        "(?: transform=\"rotate\\(([-0-9.]+) [^\"]*\")?[^>]*>([^<]*)</text>");
    for (auto it = std::sregex_iterator(p.svg.begin(), p.svg.end(), text); it != std::sregex_iterator(); ++it) {
        const std::smatch& m = *it;
        labels.insert(m[5]);
        // Start and (for a narrow average letter: the unit tests check the
        // exact boxes) end of the baseline.
        const double x = std::stod(m[1]), y = std::stod(m[2]), size = std::stod(m[3]);
        const double a = m[4].matched ? std::stod(m[4]) * 3.14159265358979323846 / 180 : 0;
        const double len = 0.5 * size * static_cast<double>(m[5].length());
        for (double t : {0.0, len}) {
            const double px = x + t * std::cos(a), py = y + t * std::sin(a);
            EXPECT_TRUE(px >= fx && px <= fx + fw && py >= fy && py <= fy + fh) << m[5] << " at " << px << "," << py;
        }
    }
    EXPECT_EQ(labels, want.labels);

    // DXF, read back on its own terms.
    testdxf::Drawing dxf;
    ASSERT_EQ(testdxf::read(p.dxf, dxf), "");
    ASSERT_FALSE(dxf.sections.empty());
    EXPECT_EQ(dxf.sections.back(), "ENTITIES");
    int dxfPolylines = 0;
    std::multiset<std::string> dxfLabels;
    std::set<std::string> layers;
    for (const testdxf::Entity& e : dxf.entities) {
        layers.insert(e.layer);
        if (e.type == "POLYLINE") {
            ++dxfPolylines;
            EXPECT_GE(e.vertices.size(), 2u);
        }
        if (e.type == "TEXT" && e.layer == "LABELS") {
            dxfLabels.insert(e.text);
            EXPECT_TRUE(e.x >= 0 && e.x <= p.plot.width && e.y >= 0 && e.y <= p.plot.height) << e.text;
        }
    }
    EXPECT_EQ(dxfPolylines, want.stretches);
    EXPECT_EQ(dxfLabels, want.labels);
    EXPECT_TRUE(layers.count("CURVES") && layers.count("LABELS") && layers.count("AXES"));

    // Provenance: the database with its label and checksum.
    for (const std::string* out : {&p.svg, &p.dxf}) {
        EXPECT_NE(out->find("thermo1988.dat"), std::string::npos);
        EXPECT_NE(out->find("MINERALS 1988"), std::string::npos);
        EXPECT_NE(out->find("sha256"), std::string::npos);
    }

    // The points table: a header and one row per point of the reaction curves.
    int points = 0;
    for (const io::PlotCurveRecord& c : p.plot.curves) points += c.waterCurve ? 0 : static_cast<int>(c.points.size());
    EXPECT_EQ(p.csv.substr(0, p.csv.find('\n')), "curve,reaction,stretch,x,y,flag");
    EXPECT_EQ(lineCount(p.csv), 1 + points);
    EXPECT_EQ(p.invariants.substr(0, p.invariants.find('\n')), "point,x,y,curves,phases");
}

INSTANTIATE_TEST_SUITE_P(Examples, Example,
                         ::testing::Values("aluminosilicates", "calcite-quartz-pt", "calcite-quartz-tx", "kfmash-grid"));

TEST(PlotProgram, InvariantPointsOfTheExamples) {
    {
        WorkDir w("plot-triple");
        Plotted p = plotExample(w, "aluminosilicates");
        // The aluminosilicate triple point: Ky = And, Sil = And and Ky = Sil
        // (curves 1, 3, 4) near 500 C and 3.7 kbar.
        std::smatch m;
        ASSERT_TRUE(std::regex_search(p.invariants, m, std::regex("\n\\d+,([0-9.]+),([0-9.]+),1 3 4,And \\+ Ky \\+ Sil\n")))
            << p.invariants;
        EXPECT_NEAR(std::stod(m[1]), 505, 20);
        EXPECT_NEAR(std::stod(m[2]), 3740, 300);
    }
    WorkDir w("plot-grid");
    Plotted p = plotExample(w, "kfmash-grid");
    const int n = lineCount(p.invariants) - 1;
    EXPECT_GE(n, 55);
    EXPECT_LE(n, 90);
}

TEST(PlotProgram, BrokenPlotFilesNameTheLineAndLeaveNoOutput) {
    WorkDir w("plot-broken");
    apptest::fs::copy(path(PELKAM_SOURCE_DIR) / "examples" / "aluminosilicates", w.path,
                      apptest::fs::copy_options::recursive | apptest::fs::copy_options::overwrite_existing);
    apptest::fs::copy_file(path(PELKAM_SOURCE_DIR) / "data" / "rxtns_calib.dat", w.path / "rxtns_calib.dat");
    w.write("PELKAM.fig", apptest::bundledConfig(w));
    ASSERT_EQ(runProgram(PELKAM_EXE, {"--script", "answers.txt"}, w.path).exitCode, 0);
    const std::string plot = w.read("plot.plt");
    // Cut inside the points of the second curve, and a letter in a number.
    const std::size_t cut = plot.find("\n", plot.find("   17    0    0    0    0") + 30);
    w.write("cut.plt", plot.substr(0, cut + 1));
    std::string bad = plot;
    bad.replace(bad.find("505.5734"), 8, "505.57x4");
    w.write("bad.plt", bad);
    for (const char* name : {"cut.plt", "bad.plt"}) {
        apptest::RunResult r = runProgram(PELKAM_PLOT_EXE,
                                           {name, "-o", "out.svg", "-o", "out.dxf", "--csv", "out.csv"}, w.path);
        EXPECT_EQ(r.exitCode, 1) << name;
        EXPECT_NE(r.err.find(std::string(name) + ", line "), std::string::npos) << r.err;
        for (const char* out : {"out.svg", "out.dxf", "out.csv"}) EXPECT_FALSE(w.exists(out)) << name << " " << out;
    }
    for (const auto& e : apptest::fs::directory_iterator(w.path))
        EXPECT_EQ(e.path().filename().string().find(".tmp"), std::string::npos) << e.path();
    // Usage errors.
    EXPECT_EQ(runProgram(PELKAM_PLOT_EXE, {}, w.path).exitCode, 2);
    EXPECT_EQ(runProgram(PELKAM_PLOT_EXE, {"plot.plt", "-o", "x.jpg"}, w.path).exitCode, 2);
    EXPECT_FALSE(w.exists("x.jpg"));
    // Without an output option the diagram goes beside the plot file.
    ASSERT_EQ(runProgram(PELKAM_PLOT_EXE, {"plot.plt"}, w.path).exitCode, 0);
    EXPECT_TRUE(w.exists("plot.svg"));
    EXPECT_NE(w.read("plot.svg").find("database: not given"), std::string::npos);
}

}  // namespace
