// Intersections of curves built here with known crossings: the points, the
// repeated points of dependent reactions, the mean and covariance, the
// rejection of outliers and the ellipses; reaction texts; perturbed
// composition files.
#include <gtest/gtest.h>

#include <cmath>
#include <map>

#include "intersect/intersect.hpp"
#include "intersect/perturb.hpp"
#include "intersect/read_curves.hpp"
#include "io/composition_file.hpp"

using namespace intersect;

namespace {

// A curve of one stretch through the given points, with coefficients.
Curve line(int number, std::vector<Point> pts, std::vector<double> coef, bool stable = true) {
    Curve c;
    c.number = number;
    c.stretches.push_back({std::move(pts), stable});
    c.coefficients = std::move(coef);
    return c;
}

CurveSet setOf(Window w, std::size_t phases, std::vector<Curve> curves) {
    CurveSet s;
    s.window = w;
    for (std::size_t i = 0; i < phases; ++i) s.phases.push_back("P" + std::to_string(i + 1));
    s.curves = std::move(curves);
    return s;
}

}  // namespace

// y = 10x, y = 50 and x = 2 cross in (5, 50), (2, 20) and (2, 50): mean
// (3, 40); deviations x (2, -1, -1), y (10, -20, 10) give var x 3, var y
// 300, cov 15, correlation 0.5, 1-sigma area pi sqrt(675).
TEST(Intersections, ThreeIndependentLinesGiveExactPointsMeanAndCovariance) {
    const CurveSet set = setOf({0, 10, 0, 100}, 3,
                               {line(1, {{0, 0}, {4, 40}, {10, 100}}, {1, 0, 0}),  // a vertex off the crossing
                                line(2, {{0, 50}, {10, 50}}, {0, 1, 0}),
                                line(3, {{2, 0}, {2, 20}, {2, 100}}, {0, 0, 1})});  // a vertex on the crossing with 1
    const Analysis an = analyse(set);
    ASSERT_EQ(an.intersections.size(), 3u);
    const Point want[3] = {{5, 50}, {2, 20}, {2, 50}};
    for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(an.intersections[static_cast<std::size_t>(k)].at.x, want[k].x, 1e-12) << k;
        EXPECT_NEAR(an.intersections[static_cast<std::size_t>(k)].at.y, want[k].y, 1e-12) << k;
        EXPECT_EQ(an.intersections[static_cast<std::size_t>(k)].kind, Kind::Independent);
    }
    EXPECT_EQ(an.dependence.rank, 3);
    const Scatter& s = an.scatter;
    EXPECT_EQ(s.count, 3);
    EXPECT_NEAR(s.mean.x, 3, 1e-12);
    EXPECT_NEAR(s.mean.y, 40, 1e-12);
    EXPECT_NEAR(s.varX, 3, 1e-12);
    EXPECT_NEAR(s.varY, 300, 1e-9);
    EXPECT_NEAR(s.covXY, 15, 1e-10);
    EXPECT_NEAR(s.correlation, 0.5, 1e-12);
    EXPECT_NEAR(s.area, M_PI * std::sqrt(675.0), 1e-9);
}

// Reactions 1, 2 and 3 = 1 + 2 pass through (4, 40), reaction 4 (independent)
// is the line y = 70: the three crossings at (4, 40) are one point, counted
// once; the crossings with 4 lie on three planes of their own.
TEST(Intersections, DependentReactionsRepeatOnePoint) {
    const CurveSet set =
        setOf({0, 10, 0, 100}, 4,
              {line(1, {{0, 0}, {10, 100}}, {-1, 1, 0, 0}), line(2, {{0, 80}, {10, -20}}, {0, -1, 2, 0}),
               line(3, {{0, 40}, {10, 40}}, {-1, 0, 2, 0}), line(4, {{0, 70}, {10, 70}}, {0, 0, -1, 1})});
    const Analysis an = analyse(set);
    ASSERT_TRUE(an.dependence.known);
    EXPECT_EQ(an.dependence.rank, 3);
    ASSERT_EQ(an.dependence.dependent.size(), 1u);
    const Combination& c = an.dependence.dependent[0];
    EXPECT_EQ(c.curve, 2);
    EXPECT_EQ(c.basis, (std::vector<int>{0, 1}));
    ASSERT_EQ(c.factors.size(), 2u);
    EXPECT_NEAR(c.factors[0], 1, 1e-12);
    EXPECT_NEAR(c.factors[1], 1, 1e-12);

    // Pairs in order: 1&2, 1&3, 1&4, 2&3, 2&4 (y = 70 meets 2 at x = 1), 3&4 parallel.
    struct Want {
        int a, b;
        Point at;
        Kind kind;
        int sameAs;
    };
    const Want want[] = {{0, 1, {4, 40}, Kind::Independent, -1}, {0, 2, {4, 40}, Kind::SamePoint, 0},
                         {0, 3, {7, 70}, Kind::Independent, -1}, {1, 2, {4, 40}, Kind::SamePoint, 0},
                         {1, 3, {1, 70}, Kind::Independent, -1}};
    ASSERT_EQ(an.intersections.size(), std::size(want));
    for (std::size_t k = 0; k < std::size(want); ++k) {
        const Intersection& x = an.intersections[k];
        SCOPED_TRACE(k);
        EXPECT_EQ(x.curveA, want[k].a);
        EXPECT_EQ(x.curveB, want[k].b);
        EXPECT_NEAR(x.at.x, want[k].at.x, 1e-12);
        EXPECT_NEAR(x.at.y, want[k].at.y, 1e-12);
        EXPECT_EQ(x.kind, want[k].kind);
        EXPECT_EQ(x.sameAs, want[k].sameAs);
    }
    EXPECT_EQ(an.pairsWithoutCrossing, 1);
    EXPECT_EQ(an.used, (std::vector<int>{0, 2, 4}));
    EXPECT_NEAR(an.scatter.mean.x, 4, 1e-12);
    EXPECT_NEAR(an.scatter.mean.y, 60, 1e-12);

    // Without coefficients every crossing counts.
    CurveSet bare = set;
    for (Curve& cv : bare.curves) cv.coefficients.clear();
    const Analysis b = analyse(bare);
    EXPECT_FALSE(b.dependence.known);
    EXPECT_EQ(b.scatter.count, 5);
}

// Stretches: metastable ones only on request, a curve ending on another (an
// invariant point) touches it, and proportional reactions are not crossed.
TEST(Intersections, StretchesTouchesAndTheSameReaction) {
    struct Case {
        const char* name;
        std::vector<Curve> curves;
        bool metastable;
        std::vector<Point> want;
        int touches;
    };
    const std::vector<Case> cases = {
        {"metastable stretch left out",
         {line(1, {{0, 0}, {10, 100}}, {1, 0}, false), line(2, {{0, 50}, {10, 50}}, {0, 1})},
         false,
         {},
         0},
        {"metastable stretch on request",
         {line(1, {{0, 0}, {10, 100}}, {1, 0}, false), line(2, {{0, 50}, {10, 50}}, {0, 1})},
         true,
         {{5, 50}},
         0},
        // Curve 2 stops 0.01 short of y = 10x at x = 5 (7e-4 of the window's
        // diagonal scale); the touch is midway between its end (0.501, 0.5)
        // and the nearest point of curve 1 (0.5005, 0.5005), in fractions.
        {"a curve ending on another",
         {line(1, {{0, 0}, {10, 100}}, {1, 0}), line(2, {{10, 50}, {5.01, 50}}, {0, 1})},
         false,
         {{5.0075, 50.025}},
         1},
        {"an end far from the other curve",
         {line(1, {{0, 0}, {10, 100}}, {1, 0}), line(2, {{10, 50}, {5.5, 50}}, {0, 1})},
         false,
         {},
         0},
        {"proportional reactions",
         {line(1, {{0, 0}, {10, 100}}, {1, -2}), line(2, {{0, 50}, {10, 50}}, {-2, 4})},
         false,
         {},
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Options o;
        o.includeMetastable = c.metastable;
        const Analysis an = analyse(setOf({0, 10, 0, 100}, 2, c.curves), o);
        ASSERT_EQ(an.intersections.size(), c.want.size());
        int touches = 0;
        for (std::size_t k = 0; k < c.want.size(); ++k) {
            EXPECT_NEAR(an.intersections[k].at.x, c.want[k].x, 1e-9);
            EXPECT_NEAR(an.intersections[k].at.y, c.want[k].y, 1e-9);
            touches += an.intersections[k].touch ? 1 : 0;
        }
        EXPECT_EQ(touches, c.touches);
    }
}

// Vertical lines x = 1..6 and 30 cross y = 50: the point at 30 lies
// (30 - 51/7)/sd = 2.06 sd from the mean and is dropped at K = 2; the rest
// (mean 3.5, variance 3.5) keep within 2 sd.
TEST(Intersections, OutliersAreDroppedOneAtATime) {
    std::vector<Curve> curves{line(1, {{0, 50}, {40, 50}}, std::vector<double>(8, 0.0))};
    const double xs[] = {1, 2, 3, 4, 5, 6, 30};
    for (int k = 0; k < 7; ++k) curves.push_back(line(k + 2, {{xs[k], 0}, {xs[k], 100}}, std::vector<double>(8, 0.0)));
    for (std::size_t k = 0; k < curves.size(); ++k) curves[k].coefficients[k] = 1;
    Options o;
    o.rejectBeyond = 2;
    const Analysis an = analyse(setOf({0, 40, 0, 100}, 8, curves), o);
    ASSERT_EQ(an.intersections.size(), 7u);
    double sum2 = 0;
    for (double x : xs) sum2 += (x - 51.0 / 7) * (x - 51.0 / 7);
    const Intersection& far = an.intersections[6];
    EXPECT_EQ(far.kind, Kind::Dropped);
    EXPECT_EQ(far.round, 1);
    EXPECT_NEAR(far.distance, (30 - 51.0 / 7) / std::sqrt(sum2 / 6), 1e-12);
    EXPECT_EQ(an.scatter.count, 6);
    EXPECT_NEAR(an.scatter.mean.x, 3.5, 1e-12);
    EXPECT_NEAR(an.scatter.varX, 3.5, 1e-12);
    EXPECT_EQ(an.scatter.sdY, 0);
    EXPECT_FALSE(an.scatter.hasCorrelation);
}

// Every point of the k-sigma ellipse lies at Mahalanobis distance k, for
// correlated and uncorrelated scatters; on a line the "ellipse" is the
// segment reaching k.
TEST(Intersections, EllipsesLieAtTheirDistance) {
    const std::vector<std::vector<Point>> scatters = {
        {{600, 6000}, {610, 6400}, {595, 5900}, {605, 6300}, {612, 6100}},
        {{1, 0}, {-1, 0}, {0, 2}, {0, -2}},
    };
    for (const auto& pts : scatters) {
        const Scatter s = scatterOf(pts);
        for (double k : {1.0, 2.0})
            for (const Point& p : ellipseOf(s, k, 36)) EXPECT_NEAR(distanceFromMean(s, p), k, 1e-9);
    }
    const Scatter flat = scatterOf({{1, 5}, {2, 5}, {4, 5}});
    double farthest = 0;
    for (const Point& p : ellipseOf(flat, 2, 36)) {
        EXPECT_EQ(p.y, 5);
        farthest = std::max(farthest, distanceFromMean(flat, p));
    }
    EXPECT_NEAR(farthest, 2, 1e-12);
    EXPECT_TRUE(ellipseOf(scatterOf({{3, 4}}), 1).empty());
}

TEST(ReactionTexts, TermsWithCoefficients) {
    using Terms = std::vector<std::pair<std::string, double>>;
    const std::vector<std::tuple<std::string, bool, Terms>> cases = {
        {"Grs + 2 Ky + Qz = 3 An", true, {{"Grs", -1}, {"Ky", -2}, {"Qz", -1}, {"An", 3}}},
        {"0.5 OXYGEN GAS + 2 Mag = 3 Hem", true, {{"OXYGEN GAS", -0.5}, {"Mag", -2}, {"Hem", 3}}},
        {"Ms + Qz = Kfs + Sil + H2O", true, {{"Ms", -1}, {"Qz", -1}, {"Kfs", 1}, {"Sil", 1}, {"H2O", 1}}},
        {"Ky = ", false, {}},
        {"Ky + = Sil", false, {}},
        {"Ky Sil", false, {}},
    };
    for (const auto& [text, ok, want] : cases) {
        Terms got;
        EXPECT_EQ(parseReactionText(text, got), ok) << text;
        if (ok) {
            EXPECT_EQ(got, want) << text;
        }
    }
}

namespace {

const std::vector<std::string> kZun = {
    "GARN [-Gr-][-Py-][-Alm][-Sp-]",
    "GARN .0600 .1500 .7200 .0700",
    "FIXED ACTIVITIES",
    "QUARTZ=1.0",
    "ENDFIX",
    "BIOT [xMg-][xFe-][-xTi][-xAl][-xK-][-xOH]",
    "BIOT .4000 .4333 .0333 .1334 .9000 .9600",
};
const std::vector<ModelSites> kSites = {{"GARN", {4}}, {"BIOT", {4, 1, 1}}, {"PLAG", {3}}};

std::vector<double> valuesOf(const std::vector<std::string>& lines, const char* code, int n) {
    io::CompositionValues v;
    EXPECT_TRUE(io::findComposition(lines, "test.zun", code, n, v).ok());
    return {v.values.begin(), v.values.begin() + n};
}

}  // namespace

// No uncertainty: the same numbers; a seed: the same file; the sites that
// add up to 1 still do; everything but the value lines is kept.
TEST(PerturbedCompositions, ReproducibleClosedAndWithinRange) {
    Uncertainties none;
    Random r0(runSeed(1, 0));
    std::vector<std::string> same;
    ASSERT_TRUE(perturbComposition(kZun, "test.zun", kSites, none, r0, same).ok());
    EXPECT_EQ(valuesOf(same, "GARN", 4), valuesOf(kZun, "GARN", 4));
    EXPECT_EQ(valuesOf(same, "BIOT", 6), valuesOf(kZun, "BIOT", 6));

    Uncertainties u;
    u.relative = 0.1;
    u.absolute.push_back({"GARN", {0.01, 0.02}, 1});
    std::vector<std::string> a, b, c;
    Random ra(runSeed(7, 3)), rb(runSeed(7, 3)), rc(runSeed(8, 3));
    ASSERT_TRUE(perturbComposition(kZun, "test.zun", kSites, u, ra, a).ok());
    ASSERT_TRUE(perturbComposition(kZun, "test.zun", kSites, u, rb, b).ok());
    ASSERT_TRUE(perturbComposition(kZun, "test.zun", kSites, u, rc, c).ok());
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
    ASSERT_EQ(a.size(), kZun.size());
    for (std::size_t i : {0u, 2u, 3u, 4u, 5u}) EXPECT_EQ(a[i], kZun[i]);
    EXPECT_NE(a[1], kZun[1]);
    const std::vector<double> g = valuesOf(a, "GARN", 4), bt = valuesOf(a, "BIOT", 6);
    double garnet = 0, octahedral = 0;
    for (double v : g) garnet += v;
    for (int k = 0; k < 4; ++k) octahedral += bt[static_cast<std::size_t>(k)];
    EXPECT_NEAR(garnet, 1.0, 3e-4);  // F6.4 rounding of four values
    EXPECT_NEAR(octahedral, 1.0, 3e-4);
    for (double v : bt) {
        EXPECT_GT(v, 0);
        EXPECT_LE(v, 1);
    }
}

TEST(PerturbedCompositions, UncertaintyFileIsCheckedLineAndField) {
    Uncertainties u;
    const std::vector<std::string> good = {"# garnet", "GARN 0.01 0.02  .005", "", "OPX  0.03"};
    ASSERT_TRUE(parseUncertainties(good, "u.txt", u).ok());
    ASSERT_EQ(u.absolute.size(), 2u);
    EXPECT_EQ(u.absolute[0].sd, (std::vector<double>{0.01, 0.02, 0.005}));
    EXPECT_EQ(u.absolute[1].code, "OPX ");
    struct Bad {
        std::vector<std::string> lines;
        int line, field;
    };
    const Bad bad[] = {{{"GARN 0.01 -0.02"}, 1, 3}, {{"GARN 0.01", "BIOT x"}, 2, 2}, {{"GARNET 0.1"}, 1, 1},
                       {{"GARN 0.1", "GARN 0.2"}, 2, 1}};
    for (const Bad& b : bad) {
        const core::Status s = parseUncertainties(b.lines, "u.txt", u);
        EXPECT_FALSE(s.ok());
        EXPECT_EQ(s.file, "u.txt");
        EXPECT_EQ(s.line, b.line) << s.describe();
        EXPECT_EQ(s.field, b.field) << s.describe();
    }
}
