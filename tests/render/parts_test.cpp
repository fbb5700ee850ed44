// Pieces of the drawing: invariant points on made-up curves, axis ticks,
// reaction texts read from summaries, phases of a reaction, the CSV tables,
// the marks of the mean intersection, numbers with fixed decimals.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <random>
#include <fstream>
#include <sstream>

#include "render/diagram_curves.hpp"
#include "render/figure.hpp"
#include "render/fixed_decimals.hpp"
#include "render/invariant_points.hpp"
#include "render/summary_reactions.hpp"
#include "render/tables.hpp"

namespace {

// A P-T plot file in memory: each curve a list of (T, P) stretches.
io::PlotFileContents plotOf(const std::vector<std::vector<std::vector<std::pair<double, double>>>>& curves) {
    io::PlotFileContents p;
    p.diagramType = 0;
    p.diagramName = "P-T";
    p.window = {400, 900, 1, 10000};
    p.width = p.height = 20;
    for (const auto& stretches : curves) {
        io::PlotCurveRecord c;
        for (const auto& s : stretches)
            for (std::size_t i = 0; i < s.size(); ++i)
                c.points.push_back({s[i].first, s[i].second, static_cast<short>(i == 0 ? 3 : 2)});
        p.curves.push_back(c);
    }
    return p;
}

std::vector<render::InvariantPoint> invariantsOf(const io::PlotFileContents& p) {
    render::DiagramDescription d;
    EXPECT_TRUE(render::describeDiagram(p, "t.plt", nullptr, d).ok());
    return render::findInvariantPoints(p, d, render::defaultInvariantTolerance(p));
}

TEST(InvariantPoints, ThreeCurvesEndingTogether) {
    // Three curves end within 0.05 C and 0.5 bar of (600, 5000); a fourth
    // ends 0.3 C away, and two more end together at the window's side.
    auto p = plotOf({{{{600.00, 5000.0}, {700, 8000}}},
                     {{{600.05, 5000.5}, {500, 8000}}},
                     {{{599.98, 4999.6}, {650, 1000}}},
                     {{{600.30, 5000.0}, {800, 3000}}},
                     {{{400.0, 2000}, {450, 3000}}},
                     {{{400.0, 2000.2}, {450, 1000}}},
                     {{{400.02, 2000.4}, {420, 100}}}});
    const auto points = invariantsOf(p);
    ASSERT_EQ(points.size(), 1u);
    EXPECT_NEAR(points[0].x, 600.01, 0.01);
    EXPECT_NEAR(points[0].y, 5000.03, 0.01);
    EXPECT_EQ(points[0].curves, (std::vector<int>{1, 2, 3}));
}

TEST(InvariantPoints, CurvesGoingOnThroughCount) {
    // Two curves end at (600, 5000) on a third that passes through it.
    auto p = plotOf({{{{600, 5000}, {700, 8000}}},
                     {{{600, 5000}, {500, 8000}}},
                     {{{500, 2000}, {700, 8000}}},   // passes through (600, 5000)
                     {{{500, 2100}, {700, 8200}}}}); // passes 100 bar off
    const auto points = invariantsOf(p);
    ASSERT_EQ(points.size(), 1u);
    EXPECT_EQ(points[0].curves, (std::vector<int>{1, 2, 3}));
    // Two curves ending together with nothing else there: no invariant point.
    EXPECT_TRUE(invariantsOf(plotOf({{{{600, 5000}, {700, 8000}}}, {{{600, 5000}, {500, 8000}}}})).empty());
}

TEST(InvariantPoints, PhasesFromTheReactionsOfTheLabels) {
    auto p = plotOf({{{{505.57, 3736.66}, {200, 33}}}, {{{505.58, 3736.71}, {760, 1}}}, {{{505.60, 3736.98}, {800, 10000}}}});
    const char* sides[3][2] = {{"Ky ", " And"}, {"Sil ", " And"}, {"Ky ", " Sil"}};
    for (int i = 0; i < 3; ++i)
        for (const char* s : sides[i]) p.curves[static_cast<std::size_t>(i)].labels.push_back({500, 3000, 0.35, 0, s});
    const auto points = invariantsOf(p);
    ASSERT_EQ(points.size(), 1u);
    EXPECT_EQ(points[0].phases, (std::vector<std::string>{"And", "Ky", "Sil"}));
    EXPECT_EQ(render::invariantPointsCsv(points),
              "point,x,y,curves,phases\n1,505.5833,3736.783,1 2 3,And + Ky + Sil\n");
}

TEST(Axes, TicksAtRoundValuesCoveringTheWindow) {
    struct Case {
        double lo, hi;
        int target;
        double step;
        std::vector<std::string> texts;
    };
    const Case cases[] = {
        {1, 10000, 5, 2000, {"0", "2000", "4000", "6000", "8000", "10000"}},
        {200, 900, 6, 100, {"200", "300", "400", "500", "600", "700", "800", "900"}},
        {0, 1, 6, 0.2, {"0.0", "0.2", "0.4", "0.6", "0.8", "1.0"}},
        {-4, -1, 6, 0.5, {"-4.0", "-3.5", "-3.0", "-2.5", "-2.0", "-1.5", "-1.0"}},
    };
    for (const Case& c : cases) {
        double step = 0, minor = 0;
        const std::vector<double> ticks = render::axisTicks(c.lo, c.hi, c.target, step, minor);
        EXPECT_DOUBLE_EQ(step, c.step) << c.lo << " " << c.hi;
        std::vector<std::string> texts;
        for (double v : ticks) texts.push_back(render::tickText(v, step));
        EXPECT_EQ(texts, c.texts) << c.lo << " " << c.hi;
        EXPECT_GT(minor, 0);
        EXPECT_LT(minor, step);
    }
}

TEST(Reactions, PhasesOfAReactionText) {
    EXPECT_EQ(render::phasesOf("2 Alm + Crn = 3 Fa + 3 And"), (std::vector<std::string>{"Alm", "Crn", "Fa", "And"}));
    EXPECT_EQ(render::phasesOf("0.5 K-FELDSPAR + QUARTZ = 1/2 H2O + QUARTZ"),
              (std::vector<std::string>{"K-FELDSPAR", "QUARTZ", "H2O"}));
    EXPECT_TRUE(render::phasesOf("").empty());
}

TEST(Summary, ReactionsOfThePlotFileAskedFor) {
    const std::filesystem::path path = std::filesystem::path(PELKAM_BINARY_DIR) / "render-summary-test.dat";
    {
        std::ofstream out(path);
        out << "**** Current plotfile = first.plt\n"
               "1  REACTION: Ky = And        \n junk\n THIS CURVE IS NUMBER      1\n"
               "1  REACTION: Sil = And\n THIS CURVE IS NUMBER      2\n"
               "**** Current plotfile = second.plt\n"
               "1  REACTION: Ky = Sil\n THIS CURVE IS NUMBER      3\n"
               "1  REACTION: cut off before its number\n";
    }
    render::SummaryReactions s;
    ASSERT_TRUE(render::readSummaryReactions(path.string(), "run/SECOND.PLT", s).ok());
    ASSERT_EQ(s.curves.size(), 1u);
    EXPECT_EQ(s.curves[0].number, 3);
    EXPECT_EQ(s.curves[0].reaction, "Ky = Sil");
    ASSERT_TRUE(render::readSummaryReactions(path.string(), "first.plt", s).ok());
    ASSERT_EQ(s.curves.size(), 2u);
    EXPECT_EQ(*s.reactionOf(2), "Sil = And");
    EXPECT_EQ(s.reactionOf(3), nullptr);
    // A plot file the summary does not name: every listed curve.
    ASSERT_TRUE(render::readSummaryReactions(path.string(), "other.plt", s).ok());
    EXPECT_EQ(s.curves.size(), 3u);
    {
        std::ofstream out(path);
        out << "1  REACTION: A = B\n THIS CURVE IS NUMBER   xx\n";
    }
    core::Status bad = render::readSummaryReactions(path.string(), "p.plt", s);
    EXPECT_FALSE(bad.ok());
    EXPECT_EQ(bad.line, 2);
    std::filesystem::remove(path);
}

TEST(Tables, CurvePointsWithStretchesAndQuotedTexts) {
    auto p = plotOf({{{{500, 1000}, {510, 1100}}, {{520, 1200}, {530, 1300}, {540, 1400}}}});
    p.curves[0].labels = {{0, 0, 0.35, 0, "A, B "}, {0, 0, 0.35, 0, " C"}, {0, 0, 0.35, 0, "A, B "}, {0, 0, 0.35, 0, " C"}};
    render::DiagramDescription d;
    ASSERT_TRUE(render::describeDiagram(p, "t.plt", nullptr, d).ok());
    EXPECT_EQ(render::curvePointsCsv(p, d),
              "curve,reaction,stretch,x,y,flag\n"
              "1,\"A, B = C\",1,500,1000,3\n1,\"A, B = C\",1,510,1100,2\n"
              "1,\"A, B = C\",2,520,1200,3\n1,\"A, B = C\",2,530,1300,2\n1,\"A, B = C\",2,540,1400,2\n");
    EXPECT_EQ(render::csvField("say \"hi\""), "\"say \"\"hi\"\"\"");
}

TEST(Numbers, FixedDecimalsAsPrintfWritesThem) {
    // Halves that are exact in binary, values next to a half, signs of
    // values rounding to zero, large values, infinities; then random ones.
    std::vector<double> values = {0,      -0.0,     0.125,   0.375,   2.5,     -2.5,    0.005,   1.0049999999999999,
                                  -1e-9,  -0.004,   9.995,   99.995,  1e15,    -3e20,   1e300,   0.1 + 0.2,
                                  123.456789, 5e-7, 4.9999995e-7, HUGE_VAL, -HUGE_VAL, 0x1p40, 0x1p40 - 0.5};
    std::mt19937_64 rng(14);
    std::uniform_real_distribution<double> mag(-3, 6);
    for (int i = 0; i < 20000; ++i) values.push_back((i % 2 ? -1 : 1) * std::pow(10.0, mag(rng)));
    for (double v : values)
        for (int decimals : {0, 2, 6}) {
            char want[400];
            std::snprintf(want, sizeof want, "%.*f", decimals, v);
            std::string got = "x";
            render::appendFixed(got, v, decimals);
            ASSERT_EQ(got, "x" + std::string(want)) << v << " with " << decimals;
        }
}

}  // namespace

// The mean intersection: a dot, the points, and the 1- and 2-sigma ellipses
// whose points lie at Mahalanobis distance 1 and 2 of the covariance given
// (var T 25, var P 40000, cov 800: correlation 0.8).
TEST(Intersections, EllipsesAtOneAndTwoSigma) {
    const io::PlotFileContents p = plotOf({{{{500, 1000}, {800, 9000}}}});
    render::DiagramDescription d;
    ASSERT_TRUE(render::describeDiagram(p, "t.plt", nullptr, d).ok());
    render::FigureOptions o;
    o.intersections = {true, 650, 5000, 25, 40000, 800, {{640, 4800}, {660, 5200}}, "650.0 C, 5000 bar"};
    const render::Figure f = render::buildFigure(p, d, {}, o);
    const double sx = (900.0 - 400) / 20, sy = (10000.0 - 1) / 20;
    int ellipses = 0;
    for (const render::FigurePolyline& pl : f.polylines) {
        if (pl.layer != render::Layer::Intersections) continue;
        ++ellipses;
        EXPECT_EQ(pl.dashed, pl.stretch == 2);
        for (const render::PagePoint& q : pl.points) {
            double xp = 0, yp = 0;
            render::toPlot(f, q, xp, yp);
            const double dt = xp * sx + 400 - 650, dp = yp * sy + 1 - 5000;
            // (dt, dp) inverse(covariance) (dt, dp), det = 25 * 40000 - 800^2.
            const double m2 = (40000 * dt * dt - 2 * 800 * dt * dp + 25 * dp * dp) / (25.0 * 40000 - 800.0 * 800);
            EXPECT_NEAR(std::sqrt(m2), pl.stretch, 1e-6);
        }
    }
    EXPECT_EQ(ellipses, 2);
    int dots = 0;
    for (const render::FigureMarker& m : f.markers) dots += m.layer == render::Layer::Intersections ? 1 : 0;
    EXPECT_EQ(dots, 3);
    bool text = false;
    for (const render::FigureText& t : f.texts) text = text || (t.layer == render::Layer::Intersections && t.text == "650.0 C, 5000 bar");
    EXPECT_TRUE(text);
}
