// The plot file and the curve listing: what a curve writes, where its labels
// go and on which side, the liquid-vapour curve of water, the listing's
// layout, and the plot file read back with the record layer.
//
// The phases are made up so that their energies are known exactly:
// G = H - S T + V0 (P - 1) (no heat capacity, no volume terms), T in kelvin.
#include "io/plot_writer.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "calc/enumerate.hpp"
#include "common/evaluation_context.hpp"
#include "core/text.hpp"
#include "io/plot_reader.hpp"

namespace {

namespace fs = std::filesystem;
using calc::CurvePoint;
using calc::CurveTrace;
using io::PlotFileContents;
using io::PlotLabelRecord;

constexpr int kPlot = 8, kSummary = 7, kLabels = 25;

std::vector<std::string> fileLines(const fs::path& p) {
    std::ifstream in(p);
    std::vector<std::string> out;
    for (std::string l; std::getline(in, l);) out.push_back(l);
    return out;
}

CurveTrace traceOf(const std::vector<CurvePoint>& pts) {
    CurveTrace t;
    for (const CurvePoint& p : pts) t.points[static_cast<std::size_t>(t.count++)] = p;
    return t;
}

// Points on a straight line from (x0, y0) to (x1, y1), the first with flag 3.
std::vector<CurvePoint> line(double x0, double y0, double x1, double y1, int n) {
    std::vector<CurvePoint> v;
    for (int i = 0; i < n; ++i) {
        const double f = n == 1 ? 0.0 : static_cast<double>(i) / (n - 1);
        v.push_back({x0 + f * (x1 - x0), y0 + f * (y1 - y0), static_cast<short>(i == 0 ? 3 : 2)});
    }
    return v;
}
std::vector<CurvePoint> join(std::vector<CurvePoint> a, const std::vector<CurvePoint>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A run with two made-up minerals, "ALPHA PHASE" (Al) and "BETA PHASE" (Be),
// and the reaction Al = Be.  Beta's energy relative to alpha's is
// dH - dS T + dV (P - 1).
struct PlotRun {
    fs::path dir;
    calc::DiagramOptions rs;
    bool summaryOff = false;
    std::unique_ptr<model::PhaseTable> phases = std::make_unique<model::PhaseTable>();
    std::unique_ptr<calc::PhaseSelection> sel = std::make_unique<calc::PhaseSelection>();
    testsupport::EvaluationContext ctx;
    std::unique_ptr<calc::PointEvaluator> ev;
    io::Streams st;
    std::unique_ptr<io::PlotWriter> writer;
    calc::Reaction rx;
    long plotted = 0;

    PlotRun(double dH, double dS, double dV) {
        dir = fs::temp_directory_path() /
              ("pelkam_plot_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        rs.diagramType = calc::kPT;
        rs.tMin = 0, rs.tMax = 800, rs.pMin = 1, rs.pMax = 5001;
        rs.xH2O = 1.0;
        rs.plotWidth = rs.plotHeight = 20;
        add("ALPHA PHASE", "Al", 0, 0, 0);
        add("BETA PHASE", "Be", dH, dS, dV);
        rx.coef[0] = -1;
        rx.coef[1] = 1;
        calc::FormatReaction(*phases, *sel, rx);
    }
    ~PlotRun() {
        writer.reset();
        st.closeAll();
        std::error_code ec;
        if (!std::getenv("PELKAM_KEEP_PLOT_TEST")) fs::remove_all(dir, ec);
    }
    void add(const char* name, const char* abbr, double H, double S, double V) {
        model::PhaseRecord& p = (*phases)[phases->count++];
        p.name = core::pad(name, 20);
        p.abbreviation = core::pad(abbr, 8);
        p.H = H, p.S = S, p.V0 = V;
    }
    fs::path plotPath() const { return dir / "plot.plt"; }
    fs::path summaryPath() const { return dir / "summary.dat"; }
    io::PlotWriter& start(std::string xLabel = "Temperature (C)", std::string yLabel = "Pressure (bar)",
                                 int labelUnit = 0) {
        ev = std::make_unique<calc::PointEvaluator>(rs, *phases, *sel, ctx);
        EXPECT_EQ(st.open(kPlot, plotPath().string(), io::OpenMode::NewOrReplace), 0);
        EXPECT_EQ(st.open(kSummary, summaryPath().string(), io::OpenMode::NewOrReplace), 0);
        writer = std::make_unique<io::PlotWriter>(st, kPlot, summaryOff ? 0 : kSummary, rs, *phases, *sel);
        writer->writeHeader({xLabel, yLabel}, labelUnit);
        return *writer;
    }
    bool write(const std::vector<CurvePoint>& pts, bool truncated = false) {
        CurveTrace t = traceOf(pts);
        t.truncated = truncated;
        return writeTrace(t);
    }
    // A trace as the run writes it: described, then written; false (nothing
    // written) below two points.
    bool writeTrace(const CurveTrace& t) {
        if (t.count < 2) return false;
        writer->writeCurve(calc::describeCurve(t, rx, ++plotted, *ev, rs, *phases, *sel, false));
        return true;
    }
    PlotFileContents finish() {
        EXPECT_TRUE(writer->status().ok()) << writer->status().describe();
        EXPECT_TRUE(st.close(kPlot));
        EXPECT_TRUE(st.close(kSummary));
        PlotFileContents c;
        core::Status s = io::readPlotFile(plotPath().string(), c);
        EXPECT_TRUE(s.ok()) << s.describe();
        return c;
    }
    std::vector<std::string> summary() const { return fileLines(summaryPath()); }
};

const PlotLabelRecord* labelWithText(const io::PlotCurveRecord& c, const std::string& text) {
    for (const PlotLabelRecord& l : c.labels)
        if (l.text == text) return &l;
    return nullptr;
}

// Saturation pressure of water from the steam tables (bar).  The plotted
// curve uses a short fit of its own, which departs from these by up to about
// 5 per cent (high near 200 C, low near 350 C): fine for a drawn reference
// line, and the tolerance below allows it.
struct Saturation {
    double t, P;
};
constexpr Saturation kSteamTable[] = {{100, 1.01418}, {150, 4.7616}, {200, 15.549}, {250, 39.762},
                                      {300, 85.879},  {350, 165.29}, {370, 210.44}};

// =============================================================================

TEST(PlotCurve, ATraceOfOnePointWritesNothing) {
    PlotRun r(-1000, 0, 1);
    r.start();
    EXPECT_FALSE(r.write({{400, 1001, 3}}));
    EXPECT_EQ(r.plotted, 0);
    PlotFileContents c = r.finish();
    EXPECT_TRUE(c.curves.empty());
    EXPECT_TRUE(r.summary().empty());
}

TEST(PlotFile, HeaderAndCurvesReadBack) {
    PlotRun r(-1000, 0, 1);
    // The label scratch file: 12 labels of two lines, more than are copied.
    ASSERT_EQ(r.st.open(kLabels, (r.dir / "sm.tmp").string(), io::OpenMode::Scratch), 0);
    std::vector<std::string> scratch;
    for (int i = 1; i <= 12; ++i) {
        scratch.push_back("    1");
        scratch.push_back("   533.333  4834.367     0.200     0.000     LABEL " + std::to_string(i) +
                          std::string(60, 'x'));
    }
    for (const std::string& l : scratch) r.st.writeLine(kLabels, l);
    r.start("Mole fraction CO2 1000 bar", " Log a(QUARTZ) : 300 bar\nTemperature (C)", kLabels);
    EXPECT_FALSE(r.st.isOpen(kLabels));

    // Two stretches of 9 and 3 points with a lone point between them.
    const auto pts = join(join(line(200, 1001, 700, 1001, 9), {{720.5, 1500.25, 3}}), line(100, 3000, 150, 3100, 3));
    ASSERT_TRUE(r.write(pts));
    EXPECT_EQ(r.plotted, 1);
    PlotFileContents c = r.finish();

    EXPECT_EQ(c.version, io::kPlotFileVersion);
    EXPECT_EQ(c.diagramType, calc::kPT);
    EXPECT_EQ(c.diagramName, "P-T");
    EXPECT_EQ(c.window.xmin, 0);
    EXPECT_EQ(c.window.xmax, 800);
    EXPECT_EQ(c.window.ymin, 1);
    EXPECT_EQ(c.window.ymax, 5001);
    EXPECT_EQ(c.width, 20);
    EXPECT_EQ(c.height, 20);
    EXPECT_EQ(c.titles.y, "   P(bars)  ");
    EXPECT_EQ(c.titles.x, "   T(C)     ");
    EXPECT_EQ(c.titles.third, std::string(12, ' '));
    EXPECT_EQ(c.xLabel, std::vector<std::string>{"Mole fraction CO2 1000 bar"});
    EXPECT_EQ(c.yLabel, (std::vector<std::string>{" Log a(QUARTZ) : 300 bar", "Temperature (C)"}));
    ASSERT_EQ(c.labelLines.size(), 20u);
    for (std::size_t i = 0; i < 20; ++i) EXPECT_EQ(c.labelLines[i], scratch[i].substr(0, 80)) << i;
    EXPECT_TRUE(c.waterCurveAfterFirst);

    ASSERT_EQ(c.curves.size(), 2u);  // the curve and the water curve
    const io::PlotCurveRecord& k = c.curves[0];
    EXPECT_FALSE(k.waterCurve);
    EXPECT_TRUE(c.curves[1].waterCurve);
    ASSERT_EQ(k.points.size(), pts.size());
    for (std::size_t i = 0; i < pts.size(); ++i) {
        EXPECT_NEAR(k.points[i].x, pts[i].x, 0.5e-4) << i;  // F9.4
        EXPECT_NEAR(k.points[i].y, pts[i].y, 0.5e-2) << i;  // F10.2
        EXPECT_EQ(k.points[i].flag, pts[i].flag) << i;
    }
    // Two stretches of two or more points, two labels each.
    ASSERT_EQ(k.labels.size(), 4u);
    for (std::size_t s = 0; s < 2; ++s) {
        const std::string a = k.labels[2 * s].text, b = k.labels[2 * s + 1].text;
        EXPECT_TRUE((a == "Al " && b == " Be") || (a == " Be" && b == "Al ")) << a << "|" << b;
    }
}

TEST(PlotLabels, EachSideOfTheReactionOnTheSideWhereItIsStable) {
    // Beta is the denser phase: stable above P = 1001 bar.
    {
        PlotRun r(1000, 0, -1);
        r.start();
        ASSERT_TRUE(r.write(line(200, 1001, 700, 1001, 9)));
        const PlotFileContents fc = r.finish();
        ASSERT_FALSE(fc.curves.empty());
        const auto& k = fc.curves[0];
        ASSERT_EQ(k.labels.size(), 2u);
        EXPECT_EQ(k.labels[0].text, " Be");  // above the curve comes first
        EXPECT_GT(k.labels[0].y, 1001);
        EXPECT_EQ(k.labels[1].text, "Al ");
        EXPECT_LT(k.labels[1].y, 1001);
        EXPECT_EQ(k.labels[0].angle, 0.0);
    }
    // Beta has the higher entropy: stable above 500 C (a vertical curve,
    // traced downwards).
    {
        PlotRun r(773.1499938964844, 1, 0);
        r.start();
        ASSERT_TRUE(r.write(line(500, 4000, 500, 2000, 3)));
        const PlotFileContents fc = r.finish();
        ASSERT_FALSE(fc.curves.empty());
        const auto& k = fc.curves[0];
        const PlotLabelRecord* be = labelWithText(k, " Be");
        const PlotLabelRecord* al = labelWithText(k, "Al ");
        ASSERT_TRUE(be && al);
        EXPECT_GT(be->x, 500);
        EXPECT_LT(al->x, 500);
        EXPECT_EQ(std::fabs(be->angle), 90.0);  // a vertical segment
    }
}

TEST(PlotLabels, AnchorDirectionAndPosition) {
    PlotRun r(-1000, 0, 1);  // alpha stable above 1001 bar
    r.start();
    // Plot units: 40 C and 250 bar each.  A stretch of four points rising at
    // 45 degrees on the plot (far steeper in data units), and a long
    // horizontal stretch whose middle point is at 450 C.
    const auto shortStretch = line(300, 1001, 420, 1751, 4);
    const auto longStretch = line(200, 1001, 700, 1001, 9);
    ASSERT_TRUE(r.write(join(shortStretch, longStretch)));
    const PlotFileContents fc = r.finish();
        ASSERT_FALSE(fc.curves.empty());
        const auto& k = fc.curves[0];
    ASSERT_EQ(k.labels.size(), 4u);

    const double sx = 40, sy = 250, H = 20;
    const double g = 0.015 * H;
    // Height: first-to-last distance of the whole trace over the longest text (3).
    const double D = std::hypot((700 - 300) / sx, (1001 - 1001) / sy);
    const double h = std::min(0.35, std::max(0.0125 * H, D / 3));
    for (const PlotLabelRecord& l : k.labels) EXPECT_NEAR(l.height, h, 1e-6);

    // Short stretch: anchored at its last point (420, 1751); the text runs
    // along the curve at 45 degrees and its centre lies g (slot 1) or g + h
    // (slot 2) off the curve at the anchor.
    const double c = std::sqrt(0.5), s = std::sqrt(0.5);
    for (int i = 0; i < 2; ++i) {
        const PlotLabelRecord& l = k.labels[static_cast<std::size_t>(i)];
        EXPECT_NEAR(l.angle, 45.0, 1e-3);
        const double half = (l.text.size() + 1) * h * 3.0 / 7.0;
        const double ox = (l.x - 420) / sx + c * half, oy = (l.y - 1751) / sy + s * half;
        const double off = i == 0 ? g : -(g + h);  // along the upper normal (-s, c)
        EXPECT_NEAR(ox, -s * off, 2e-3) << l.text;
        EXPECT_NEAR(oy, c * off, 2e-3) << l.text;
    }
    EXPECT_EQ(k.labels[0].text, "Al ");  // alpha is stable above: on the upper side

    // Long stretch: centred on its middle point (450 C).
    for (int i = 2; i < 4; ++i) {
        const PlotLabelRecord& l = k.labels[static_cast<std::size_t>(i)];
        EXPECT_NEAR(l.x + (l.text.size() + 1) * h * 3.0 / 7.0 * sx, 450, 2e-3);
    }
}

TEST(PlotLabels, CurveNumbersAndFullNames) {
    {
        PlotRun r(-1000, 0, 1);
        r.rs.recordFourInteger = 1;
        r.start();
        ASSERT_TRUE(r.write(line(200, 1001, 700, 1001, 9)));
        ASSERT_TRUE(r.write(join(line(200, 2001, 300, 2001, 3), line(400, 2001, 500, 2001, 3))));
        PlotFileContents c = r.finish();
        ASSERT_EQ(c.curves.size(), 3u);
        ASSERT_EQ(c.curves[0].labels.size(), 1u);
        EXPECT_EQ(c.curves[0].labels[0].text, "    1");
        EXPECT_LT(c.curves[0].labels[0].y, 1001);  // beside the products' (stable below) side
        ASSERT_EQ(c.curves[2].labels.size(), 2u);
        EXPECT_EQ(c.curves[2].labels[1].text, "    2");
    }
    {
        PlotRun r(-1000, 0, 1);
        r.rs.labelAnswer = 'N';
        r.start();
        ASSERT_TRUE(r.write(line(200, 1001, 700, 1001, 9)));
        const PlotFileContents fc = r.finish();
        ASSERT_FALSE(fc.curves.empty());
        const auto& k = fc.curves[0];
        EXPECT_NE(labelWithText(k, "ALPHA PHASE "), nullptr);
        EXPECT_NE(labelWithText(k, " BETA PHASE"), nullptr);
        EXPECT_EQ(r.summary()[0], "1  REACTION: " + core::pad("Al = Be", 120));
    }
}

TEST(PlotCurve, DegenerateTracesStillMakeAReadableFile) {
    PlotRun r(-1000, 0, 1);
    r.rs.tMin = r.rs.tMax = 400;  // a window of no width
    r.start();
    // Every point the same: no direction, no extent.
    ASSERT_TRUE(r.write({{400, 1001, 3}, {400, 1001, 2}, {400, 1001, 2}}));
    // More points than a trace holds: the count is cut to the capacity.
    CurveTrace full = traceOf(line(400, 1001, 400, 4001, calc::kMaxCurvePoints));
    full.count = calc::kMaxCurvePoints + 50;
    ASSERT_TRUE(r.writeTrace(full));
    EXPECT_EQ(r.plotted, 2);
    PlotFileContents c = r.finish();
    ASSERT_EQ(c.curves.size(), 2u);  // no water curve: the window lies above 370 C
    ASSERT_EQ(c.curves[0].labels.size(), 2u);
    EXPECT_EQ(c.curves[0].labels[0].angle, 0.0);
    EXPECT_EQ(c.curves[1].points.size(), static_cast<std::size_t>(calc::kMaxCurvePoints));
}

TEST(WaterCurve, AfterTheFirstPlottedCurveOnly) {
    PlotRun r(-1000, 0, 1);
    r.rs.pMin = 1, r.rs.pMax = 5000;
    r.start();
    ASSERT_TRUE(r.write(line(200, 1001, 700, 1001, 5)));
    ASSERT_TRUE(r.write(line(200, 2001, 700, 2001, 5)));
    PlotFileContents c = r.finish();
    ASSERT_EQ(c.curves.size(), 3u);
    ASSERT_TRUE(c.curves[1].waterCurve);
    EXPECT_FALSE(c.curves[2].waterCurve);

    const auto& w = c.curves[1].points;
    ASSERT_GT(w.size(), 20u);
    EXPECT_EQ(w.front().flag, 3);
    EXPECT_EQ(w.front().x, 100.0);  // the first even temperature above 70 C at 1 bar or more
    EXPECT_EQ(w.back().x, 374.0);
    for (std::size_t i = 0; i < w.size(); ++i) {
        EXPECT_LE(w[i].x, 374.0);
        EXPECT_GE(w[i].y, 1.0);
        if (i == 0) continue;
        // Dashes of 10 degrees in steps of 2, gaps of 10.
        EXPECT_NEAR(w[i].x - w[i - 1].x, w[i].flag == 3 ? 10.0 : 2.0, 1e-9) << i;
    }
    for (const Saturation& s : kSteamTable) {
        for (const CurvePoint& p : w)
            if (p.x == s.t) {
                EXPECT_NEAR(p.y, s.P, 0.06 * s.P) << s.t;
            }
        EXPECT_NEAR(calc::plotSaturationPressure(s.t), s.P, 0.06 * s.P) << s.t;
    }
}

TEST(WaterCurve, OnlyWithWaterInTheFluidAndOnPTDiagrams) {
    for (double xH2O : {9.999999747378752e-06, 9.99e-06}) {
        PlotRun r(-1000, 0, 1);
        r.rs.xH2O = xH2O;
        r.start();
        ASSERT_TRUE(r.write(line(200, 1001, 700, 1001, 5)));
        PlotFileContents c = r.finish();
        const bool expected = xH2O >= 9.999999747378752e-06;
        EXPECT_EQ(c.waterCurveAfterFirst, expected);
        EXPECT_EQ(c.curves.size(), expected ? 2u : 1u);
    }
    calc::DiagramOptions rs;
    rs.xH2O = 1;
    rs.tMin = 0, rs.tMax = 800, rs.pMin = 1, rs.pMax = 5000;
    EXPECT_TRUE(calc::waterCurveWanted(rs));
    rs.pMin = 221;  // window above the critical pressure
    EXPECT_FALSE(calc::waterCurveWanted(rs));
    rs.pMin = 1;
    rs.diagramType = calc::kTX;
    EXPECT_FALSE(calc::waterCurveWanted(rs));
}

TEST(Listing, SummaryOffLeavesThePlotComplete) {
    PlotRun r(-1000, 0, 1);
    r.summaryOff = true;
    r.start();
    ASSERT_TRUE(r.write(line(200, 1001, 700, 1001, 9)));
    PlotFileContents c = r.finish();
    EXPECT_TRUE(r.summary().empty());
    ASSERT_EQ(c.curves.size(), 2u);
    EXPECT_EQ(c.curves[0].points.size(), 9u);
    EXPECT_EQ(c.curves[0].labels.size(), 2u);
}

TEST(Listing, StretchesInThreeColumnsDownTheColumns) {
    PlotRun r(-1000, 0, 1);
    r.start();
    const std::vector<int> sizes = {7, 4, 2, 9};
    std::vector<CurvePoint> pts;
    for (std::size_t s = 0; s < sizes.size(); ++s) {
        pts = join(pts, line(100 + s, 1000 + 100 * s, 200 + s, 1500 + 100 * s, sizes[s]));
        if (s == 1) pts.push_back({750, 4000, 3});  // a lone point is not listed
    }
    ASSERT_TRUE(r.write(pts, true));
    r.finish();
    const std::vector<std::string> sm = r.summary();

    std::size_t i = 0;
    const std::string titles = core::pad("   P(bars)", 14) + core::pad("   T(C)", 14) + std::string(14, ' ');
    while (i < sm.size() && sm[i] != titles) ++i;
    ASSERT_LT(i, sm.size());
    ++i;
    std::size_t first = 0;
    for (std::size_t s = 0; s < sizes.size(); ++s) {
        if (s > 0) {
            ASSERT_LT(i + 3, sm.size());
            EXPECT_EQ(sm[i], "");
            EXPECT_EQ(sm[i + 1], " ===== BETWEEN THE PRECEEDING POINTS AND THE FOLLOWING POINTS, ");
            EXPECT_EQ(sm[i + 2], std::string(50, ' ') +
                                     "CURVE IS EITHER META-STABLE OR IT EXITS AND RE-ENTERS THE DIAGRAM ===== ");
            EXPECT_EQ(sm[i + 3], "");
            i += 4;
        }
        const int m = sizes[s];
        const int rows = (m - 1) / 3 + 1;
        for (int row = 0; row < rows; ++row, ++i) {
            ASSERT_LT(i, sm.size());
            std::vector<int> expected;
            for (int col = 0; col < 3; ++col)
                if (row + col * rows < m) expected.push_back(row + col * rows);
            // 1X, then per entry y (F10.2), 2X, x (F10.5), entries 5X apart.
            EXPECT_EQ(sm[i].size(), 1 + 22 * expected.size() + 5 * (expected.size() - 1)) << sm[i];
            std::istringstream in(sm[i]);
            for (int e : expected) {
                const CurvePoint& p = pts[first + static_cast<std::size_t>(e)];
                double y = 0, x = 0;
                in >> y >> x;
                EXPECT_NEAR(y, p.y, 0.005) << "stretch " << s << " row " << row;
                EXPECT_NEAR(x, p.x, 0.5e-5) << "stretch " << s << " row " << row;
            }
        }
        first += static_cast<std::size_t>(m) + (s == 1 ? 1 : 0);
    }
    ASSERT_LT(i + 3, sm.size());
    EXPECT_NE(sm[i].find("CUT AT THE TRACE CAPACITY"), std::string::npos);
    EXPECT_EQ(sm[i + 1], std::string(125, '*'));
    EXPECT_EQ(sm[i + 2], " META-STABLE PORTIONS OF CURVES ARE NOT PRINTED");
    EXPECT_EQ(sm[i + 3], " THIS CURVE IS NUMBER      1");
}

TEST(Listing, HeadingAndReactionProperties) {
    PlotRun r(-1000, 2.5, 1.25);
    r.rs.plotCurves = 'N';
    r.start();
    ASSERT_TRUE(r.write(line(200, 1001, 700, 1001, 3)));
    r.finish();
    const std::vector<std::string> sm = r.summary();
    ASSERT_GE(sm.size(), 12u);
    EXPECT_EQ(sm[0], "1  REACTION: " + core::pad("Al = Be", 120));
    EXPECT_EQ(sm[3], "  DELTA REACTION PROPERTIES");
    EXPECT_EQ(sm[4], "  " + std::string(25, '='));
    EXPECT_EQ(sm[5].substr(0, 35), "H  (J/M)         = -1000.000000    ");
    EXPECT_EQ(sm[5].substr(46, 35), "S  (J/M)         =  2.500000000    ");
    EXPECT_EQ(sm[5].substr(92), "V  (J/BAR)       =  1.250000000    ");
    EXPECT_EQ(sm[7].substr(0, 19), "K3 (J/DEG**.5/M) = ");
    EXPECT_EQ(sm[7].substr(138, 19), "K6 (J DEG**2/M)  = ");
    EXPECT_EQ(sm[8], " " + std::string(125, '*'));
    EXPECT_EQ(sm[9], "");
    const std::size_t n = sm.size();
    EXPECT_EQ(sm[n - 4], std::string(40, ' ') + "*****************WARNING*****************");
    EXPECT_EQ(sm[n - 3], std::string(40, ' ') + " META-STABLE PORTIONS OF CURVES ARE OUTPUT ");
    EXPECT_EQ(sm[n - 2], std::string(40, ' ') + std::string(41, '*'));
}

TEST(Listing, ActivityDiagramsListTheThirdVariable) {
    for (int mode : {0, 1}) {
        PlotRun r(-1000, 0, 1);
        r.rs.diagramType = calc::kActT;
        r.rs.xAxisMin = -5, r.rs.xAxisMax = 0, r.rs.tMin = 100, r.rs.tMax = 370;
        r.rs.pMin = r.rs.pMax = mode == 0 ? 1000 : 0;
        r.rs.saturationChoice = mode;
        r.sel->hasXAxis = true;
        r.sel->xAxis.memberCount = 1;
        r.sel->xAxis.phase[0] = 0;
        r.sel->xAxis.exponent[0] = 1;
        r.sel->xLabel = core::pad(" Log a(ALPHA PHASE)", 100);
        r.start();
        ASSERT_TRUE(r.write(line(-4, 300, -1, 300, 3)));
        PlotFileContents c = r.finish();
        EXPECT_EQ(c.titles.third, "  P (bars)  ");
        const std::vector<std::string> sm = r.summary();
        std::size_t i = 0;
        while (i < sm.size() && sm[i].rfind(" X axis = ", 0) != 0) ++i;
        ASSERT_LT(i + 1, sm.size());
        EXPECT_EQ(sm[i], " X axis = " + core::pad(" Log a(ALPHA PHASE)", 100));
        // y (F10.5), x (F10.5), pressure (F7.2)
        std::istringstream in(sm[i + 1]);
        double y, x, P;
        in >> y >> x >> P;
        EXPECT_NEAR(y, 300, 1e-5);
        EXPECT_NEAR(x, -4, 1e-5);
        // Fixed pressure, or half a per cent above the saturation curve.
        EXPECT_NEAR(P, mode == 0 ? 1000 : 1.005 * 85.879, mode == 0 ? 0 : 0.3) << mode;
    }
}

TEST(PlotReader, ReportsTheRecordThatDoesNotFit) {
    PlotRun r(-1000, 0, 1);
    r.start();
    ASSERT_TRUE(r.write(line(200, 1001, 700, 1001, 9)));
    r.finish();
    const std::vector<std::string> good = fileLines(r.plotPath());
    auto readWith = [&](std::vector<std::string> lines) {
        const fs::path p = r.dir / "bad.plt";
        std::ofstream out(p);
        for (const std::string& l : lines) out << l << '\n';
        out.close();
        PlotFileContents c;
        return io::readPlotFile(p.string(), c);
    };
    std::vector<std::string> bad = good;
    bad[2].replace(20, 5, "abcde");  // the window
    core::Status s = readWith(bad);
    EXPECT_FALSE(s.ok());
    EXPECT_EQ(s.line, 3);
    EXPECT_EQ(s.field, 2);
    EXPECT_NE(s.file.find("bad.plt"), std::string::npos);

    bad = good;
    bad[0] = "SOMETHING ELSE";
    EXPECT_EQ(readWith(bad).what, "not a plot file");

    // A curve cut short inside its points.
    std::size_t header = 0;
    while (header < good.size() && good[header].find("    0    0    0    0") == std::string::npos) ++header;
    ASSERT_LT(header + 1, good.size());
    bad.assign(good.begin(), good.begin() + static_cast<long>(header) + 2);
    s = readWith(bad);
    EXPECT_FALSE(s.ok());
    EXPECT_EQ(s.line, static_cast<int>(header) + 3);
    EXPECT_EQ(s.field, 1);  // the x of the eighth point, the first field of the missing record
    bad = good;
    bad[header + 1].replace(20, 2, " 7");  // a flag that is neither 2 nor 3
    s = readWith(bad);
    EXPECT_FALSE(s.ok());
    EXPECT_EQ(s.line, static_cast<int>(header) + 2);

    PlotFileContents none;
    EXPECT_FALSE(io::readPlotFile((r.dir / "missing.plt").string(), none).ok());
}

}  // namespace
