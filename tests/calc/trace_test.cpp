// Following equilibrium curves: the root finder on a segment, the search for
// a crossing, vertical and horizontal curves, curves that leave the window
// and come back, closed curves, stability limits, a full trace, what one
// reaction leaves behind (status lines, counts, pruning, the restart
// record), and curves of the bundled database checked against independent
// evaluations and the published aluminosilicate triple point.
#include "calc/trace.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "calc/pruned.hpp"
#include "calc/stability.hpp"
#include "common/enumerate_fixtures.hpp"
#include "common/evaluation_context.hpp"
#include "core/text.hpp"
#include "io/plot_writer.hpp"
#include "io/streams.hpp"
#include "io/units.hpp"
#include "model/gibbs.hpp"

namespace {

using calc::CurveTrace;
using calc::CurveTracer;
using calc::Reaction;
using calc::ReactionOutcome;
using calc::TraceSettings;

constexpr double kGTol = 0.10000000149011612;

// A reaction Gibbs energy and a stability rule given as functions of the
// diagram coordinates.
struct FunctionModel : calc::CurveModel {
    std::function<double(double, double)> g;
    // Margin at (x, y): stable when <= 0 (no competitor below the plane).
    std::function<double(double, double)> margin;
    std::function<bool(double, double)> failAt;  // the stability test fails there
    // Where the energies cannot be evaluated: in the reaction energy, in the
    // stability test (as a run's fluid routines outside their range).
    std::function<bool(double, double)> unusableAt, unusableStabilityAt;
    long unusable = 0;
    double x = 0, y = 0;
    long evaluations = 0;
    std::vector<CurveTrace> written;

    void beginReaction(const Reaction&) override {}
    double deltaG(double x_, double y_) override {
        x = x_;
        y = y_;
        ++evaluations;
        if (unusableAt && unusableAt(x, y)) ++unusable;
        return g(x, y);
    }
    long unusableEvaluations() const override { return unusable; }
    int testStability(double& m) override {
        if (unusableStabilityAt && unusableStabilityAt(x, y)) ++unusable;
        if (failAt && failAt(x, y)) return calc::kStabilityFailed;
        m = margin ? margin(x, y) : -1.0;
        return m > 0.0 ? calc::kMetastable : calc::kStable;
    }
    bool writeCurve(const CurveTrace& t, const Reaction&, long& plotted) override {
        written.push_back(t);
        if (t.count < 2) return false;
        ++plotted;
        return true;
    }
};

// A P-T-like window, 200-900 by 1-10000, with its usual tolerances.
TraceSettings window(bool stableOnly = false) {
    TraceSettings s;
    s.xmin = 200;
    s.xmax = 900;
    s.ymin = 1;
    s.ymax = 10000;
    s.xTolerance = std::min(1.0, 700.0 / 1000.0);
    s.yTolerance = std::min(1.0, 9999.0 / 1000.0);
    s.stableOnly = stableOnly;
    return s;
}

// Phases P1..Pn of one component and the reaction P(a) = P(b).
struct TraceRun {
    std::unique_ptr<enumerate_test::PhaseSet> set;
    calc::PhaseSelection sel;
    calc::PrunedAssemblageList pruned;
    io::Streams streams;
    FunctionModel model;
    std::vector<std::string> statuses;
    TraceSettings settings;
    std::unique_ptr<CurveTracer> tracer;
    long calculated = 0, plotted = 0;

    explicit TraceRun(TraceSettings s, int phases = 2, int restartUnit = 0) : settings(s) {
        set = enumerate_test::madeUpPhases(std::vector<enumerate_test::Row>(static_cast<std::size_t>(phases), {1.0}));
        sel = enumerate_test::selectionFor(*set);
        tracer = std::make_unique<CurveTracer>(model, set->table, pruned, sel, settings, streams, restartUnit,
                                               [this](std::string_view t) { statuses.emplace_back(t); });
    }
    Reaction reaction(int reactant = 0, int product = 1) const {
        Reaction r;
        r.phaseCount = set->table.count;
        r.coef[static_cast<std::size_t>(reactant)] = -1.0;
        r.coef[static_cast<std::size_t>(product)] = 1.0;
        return r;
    }
    ReactionOutcome calculate(Reaction r) {
        EXPECT_TRUE(tracer->calculateReaction(r, calculated, plotted).ok());
        return tracer->outcome();
    }
    ReactionOutcome calculate() { return calculate(reaction()); }
    const CurveTrace& trace() const { return tracer->trace(); }
};

// Every stored point lies on the curve and inside the window.
void expectOnCurve(const CurveTrace& t, const std::function<double(double, double)>& g) {
    for (int i = 0; i < t.count; ++i) {
        const auto& p = t.points[i];
        EXPECT_LT(std::fabs(g(p.x, p.y)), 10 * kGTol) << "point " << i << " at " << p.x << ", " << p.y;
        EXPECT_TRUE(p.x >= 200.0 && p.x <= 900.0 && p.y >= 1.0 && p.y <= 10000.0) << p.x << ", " << p.y;
    }
}

int stretches(const CurveTrace& t) {
    int n = t.count > 0 ? 1 : 0;
    for (int i = 1; i < t.count; ++i) n += t.points[i].flag == calc::kNewStretch ? 1 : 0;
    return n;
}

// No stored point lies strictly inside (lo, hi) in x, and no drawn segment
// crosses that band.
void expectGapBetween(const CurveTrace& t, double lo, double hi) {
    for (int i = 0; i < t.count; ++i) EXPECT_TRUE(t.points[i].x <= lo || t.points[i].x >= hi) << t.points[i].x;
    for (int i = 1; i < t.count; ++i)
        if (t.points[i].flag == calc::kContinues) {
            EXPECT_EQ(t.points[i].x <= lo, t.points[i - 1].x <= lo) << "segment " << i;
        }
}

// =============================================================================
// The root on a segment and the crossing

struct XY {
    double x, y;
};

TEST(TraceSolveOnSegment, BracketsEndsAndRootsBeyondTheWindow) {
    TraceRun r(window());
    auto& b = r.tracer->bracket();
    auto solve = [&](std::function<double(double, double)> g, XY a, XY c,
                     int requireBracket) {
        r.model.g = std::move(g);
        r.tracer->beginReaction(r.reaction());  // a new function: no energies remembered
        r.model.evaluations = 0;
        b.a = {a.x, a.y, 0.0};
        b.b = {c.x, c.y, 0.0};
        return r.tracer->solveOnSegment(-1, requireBracket);
    };
    // A sign change in x: the root, keeping the shared coordinate.
    auto cubic = [](double x, double) { return 0.002 * std::pow(x - 437.3, 3) + 3.0 * (x - 437.3); };
    ASSERT_EQ(solve(cubic, {250, 5000}, {800, 5000}, -1), 0);
    EXPECT_EQ(r.tracer->current().y, 5000.0);
    EXPECT_LT(std::fabs(cubic(r.tracer->current().x, 5000.0)), 10 * kGTol);
    EXPECT_LE(r.model.evaluations, 52);
    // In y on a vertical segment.
    ASSERT_EQ(solve([](double, double y) { return 0.01 * (y - 6543.0); }, {600, 1}, {600, 10000}, -1), 0);
    EXPECT_EQ(r.tracer->current().x, 600.0);
    EXPECT_NEAR(r.tracer->current().y, 6543.0, 10.0);
    // Ends of one sign with a bracket required: 1 after the two ends.
    EXPECT_EQ(solve([](double x, double) { return x + 1000.0; }, {300, 100}, {400, 100}, -1), 1);
    EXPECT_EQ(r.model.evaluations, 2);
    // An end within the tolerance is the root.
    EXPECT_EQ(solve([](double x, double) { return x - 300.05; }, {300, 100}, {400, 100}, -1), 0);
    EXPECT_EQ(r.tracer->current().x, 300.0);
    // Without a bracket the secant goes beyond the ends...
    EXPECT_EQ(solve([](double x, double) { return 2.0 * (x - 700.0); }, {300, 100}, {400, 100}, 1), 0);
    EXPECT_NEAR(r.tracer->current().x, 700.0, 0.05);
    // ...but a root left of the window is none: the estimates pile up against
    // xmin, where the energy is 100 J.
    EXPECT_NE(solve([](double x, double) { return x - 100.0; }, {300, 100}, {400, 100}, 1), 0);
    // Energies that never reach zero: not converged, within the limit.
    auto bowl = [](double x, double) { return 5.0 + 1e-3 * (x - 500.0) * (x - 500.0); };
    EXPECT_EQ(solve(bowl, {300, 100}, {420, 100}, 1), 2);
    EXPECT_LE(r.model.evaluations, 52);
}

TEST(TraceFindCrossing, ACurveWhollyOutsideTheWindowHasNoCrossing) {
    for (double sign : {1.0, -1.0}) {
        TraceRun r(window());
        // Zero on the line y = -2000 - 10 (x - 200), below the window.
        r.model.g = [sign](double x, double y) { return sign * (y + 2000.0 + 10.0 * (x - 200.0)) * 0.05; };
        r.tracer->beginReaction(r.reaction());
        EXPECT_FALSE(r.tracer->findCrossing());
        EXPECT_EQ(r.tracer->crossingSign(), sign);
        EXPECT_LT(r.model.evaluations, 400);
    }
}

// =============================================================================
// Whole curves

TEST(TraceCurve, VerticalHorizontalAndBentCurves) {
    struct Shape {
        const char* name;
        std::function<double(double, double)> g;
        long stepsInX, stepsInY;  // -1: any number
    };
    const std::vector<Shape> shapes = {
        {"vertical", [](double x, double) { return 30.0 * (x - 612.5); }, 0, -1},
        {"horizontal", [](double, double y) { return 0.2 * (y - 4321.0); }, -1, 0},
        {"diagonal", [](double x, double y) { return 0.1 * (y - 1.0) - 1.4 * (x - 205.0); }, -1, -1},
        {"bent", [](double x, double y) { return 0.05 * (y - 500.0) - 3e-3 * (x - 200.0) * (x - 200.0); }, -1, -1},
    };
    for (const Shape& shape : shapes) {
        SCOPED_TRACE(shape.name);
        TraceRun r(window());
        r.model.g = shape.g;
        ASSERT_EQ(r.calculate(), ReactionOutcome::Plotted);
        const CurveTrace& t = r.trace();
        expectOnCurve(t, shape.g);
        EXPECT_EQ(stretches(t), 1);
        const auto& st = r.tracer->stats();
        EXPECT_TRUE(shape.stepsInX < 0 || st.stepsInX == shape.stepsInX) << st.stepsInX;
        EXPECT_TRUE(shape.stepsInY < 0 || st.stepsInY == shape.stepsInY) << st.stepsInY;
        EXPECT_GT(st.stepsInX + st.stepsInY, 0);
        // Increments never exceed a sixth of a range.
        EXPECT_LE(st.largestXIncrement, 700.0 / 6.0 + 1e-9);
        EXPECT_LE(st.largestYIncrement, 9999.0 / 6.0 + 1e-9);
        // From side to side, once each.
        int meetings = 0;
        for (int k = 1; k <= 4; ++k) meetings += t.sideMeetings[k];
        EXPECT_EQ(meetings, 2);
    }
}

// y = 12000 - 0.1 (x - 550)^2: up through the top near x = 409, back in near
// x = 691; both branches start at the bottom.
double parabola(double x, double y) { return 0.02 * (y - 12000.0 + 0.1 * (x - 550.0) * (x - 550.0)); }

TEST(TraceCurve, ACurveThatLeavesAndReentersIsTracedInTwoPasses) {
    TraceRun r(window());
    r.model.g = parabola;
    ASSERT_EQ(r.calculate(), ReactionOutcome::Plotted);
    const CurveTrace& t = r.trace();
    EXPECT_EQ(t.pass, 2);
    expectOnCurve(t, r.model.g);
    EXPECT_EQ(stretches(t), 2);
    EXPECT_EQ(t.sideMeetings[1], 2);
    EXPECT_EQ(t.sideMeetings[3], 2);
    // The second pass begins its own stretch, on a side of the other branch.
    int left = 0;
    for (int i = 0; i < t.count; ++i) left += t.points[i].x < 550.0 ? 1 : 0;
    EXPECT_TRUE(left >= 2 && t.count - left >= 2);
    for (int i = 1; i < t.count; ++i)
        if (t.points[i].flag == calc::kNewStretch) {
            EXPECT_TRUE(t.points[i].y == 1.0 || t.points[i].y == 10000.0);
            EXPECT_NE(t.points[i].x < 550.0, t.points[i - 1].x < 550.0);
        }
}

TEST(TraceCurve, ABranchThatCannotBeFollowedLeavesTheOthersStanding) {
    // The stability test fails on the second branch: the first is kept.
    TraceRun r(window(true));
    r.model.g = parabola;
    r.model.failAt = [](double x, double) { return x > 550.0; };
    ASSERT_EQ(r.calculate(), ReactionOutcome::Plotted);
    const CurveTrace& t = r.trace();
    EXPECT_EQ(t.pass, 2);
    EXPECT_EQ(stretches(t), 1);
    EXPECT_GE(t.count, 2);
    for (int i = 0; i < t.count; ++i) EXPECT_LT(t.points[i].x, 550.0);
    EXPECT_EQ(r.plotted, 1);
}

TEST(TraceCurve, ABranchBetweenCornersOfASideNeverMetIsFound) {
    // Two arcs, around corner 1 and around corner 3: after the first, the
    // corners of a side never met differ in sign.
    TraceRun r(window());
    auto circle = [](double x, double y, double cx, double cy) {
        const double u = (x - cx) / 700.0, v = (y - cy) / 9999.0;
        return std::sqrt(u * u + v * v) - 0.4;
    };
    r.model.g = [circle](double x, double y) { return 1e4 * circle(x, y, 200, 1) * circle(x, y, 900, 10000); };
    ASSERT_EQ(r.calculate(), ReactionOutcome::Plotted);
    const CurveTrace& t = r.trace();
    EXPECT_EQ(t.pass, 2);
    expectOnCurve(t, r.model.g);
    EXPECT_EQ(stretches(t), 2);
    for (int k = 1; k <= 4; ++k) EXPECT_EQ(t.sideMeetings[k], 1) << "side " << k;
}

TEST(TraceCurve, AClosedCurveEndsWhereItBegan) {
    TraceRun r(window());
    r.model.g = [](double x, double y) {
        const double u = (x - 550.0) / 200.0, v = (y - 5000.0) / 3000.0;
        return 50.0 * (u * u + v * v - 1.0);
    };
    ASSERT_EQ(r.calculate(), ReactionOutcome::Plotted);
    const CurveTrace& t = r.trace();
    EXPECT_TRUE(r.tracer->stats().closedLoop);
    EXPECT_FALSE(t.truncated);
    EXPECT_EQ(t.pass, 1);
    expectOnCurve(t, r.model.g);
    EXPECT_GE(t.count, 8);
    EXPECT_EQ(t.points[0].x, t.points[t.count - 1].x);
    EXPECT_EQ(t.points[0].y, t.points[t.count - 1].y);
    double xlo = 1e9, xhi = -1e9;
    for (int i = 0; i < t.count; ++i) {
        xlo = std::min(xlo, t.points[i].x);
        xhi = std::max(xhi, t.points[i].x);
    }
    EXPECT_LT(xlo, 400.0);
    EXPECT_GT(xhi, 700.0);
}

// =============================================================================
// Stability

// The diagonal y - 1 = 14 (x - 200), which runs into the corner (200, 1).
double diagonal(double x, double y) { return 0.1 * (y - 1.0) - 1.4 * (x - 200.0); }

TEST(TraceStability, AStableStretchEndsAtTheStabilityLimit) {
    TraceRun r(window(true));
    r.model.g = diagonal;
    r.model.margin = [](double x, double) { return 10.0 * (x - 600.0); };  // metastable beyond x = 600
    ASSERT_EQ(r.calculate(), ReactionOutcome::Plotted);
    const CurveTrace& t = r.trace();
    expectOnCurve(t, r.model.g);
    EXPECT_EQ(stretches(t), 1);
    double xhi = 0;
    for (int i = 0; i < t.count; ++i) xhi = std::max(xhi, t.points[i].x);
    EXPECT_LE(xhi, 600.0);
    EXPECT_GT(xhi, 600.0 - 0.7);  // the limit within a tolerance
    // The other end is the corner, on two sides at once: no second pass
    // starts from it.
    EXPECT_EQ(t.pass, 1);
    EXPECT_EQ(t.sideMeetings[1], 1);
    EXPECT_EQ(t.sideMeetings[4], 1);
}

TEST(TraceStability, MetastableBandsSplitTheCurveIntoStretches) {
    // The first point lies near the window centre (x about 550), and the
    // direction traced first is towards x = 900.  The band (400, 700) holds
    // the first point; the band (650, 750) is met before the points are
    // turned round for the second direction.
    for (const auto& [lo, hi] : {std::pair{400.0, 700.0}, std::pair{650.0, 750.0}}) {
        SCOPED_TRACE(lo);
        TraceRun r(window(true));
        r.model.g = diagonal;
        r.model.margin = [lo = lo, hi = hi](double x, double) { return std::min(x - lo, hi - x); };
        ASSERT_EQ(r.calculate(), ReactionOutcome::Plotted);
        const CurveTrace& t = r.trace();
        expectOnCurve(t, r.model.g);
        ASSERT_EQ(stretches(t), 2);
        EXPECT_EQ(t.points[0].flag, calc::kNewStretch);
        expectGapBetween(t, lo, hi);
        // Each stretch reaches its limit.
        double lowEnd = 0, highEnd = 1e9;
        for (int i = 0; i < t.count; ++i) {
            if (t.points[i].x <= lo) lowEnd = std::max(lowEnd, t.points[i].x);
            if (t.points[i].x >= hi) highEnd = std::min(highEnd, t.points[i].x);
        }
        EXPECT_GT(lowEnd, lo - 0.7);
        EXPECT_LT(highEnd, hi + 0.7);
    }
}

TEST(TraceCapacity, AFullTraceStopsAtItsLastPointAndSaysSo) {
    TraceSettings s = window();
    s.capacity = 5;
    TraceRun r(s);
    r.model.g = [](double x, double y) { return 0.05 * (y - 5000.0 - 4000.0 * std::sin((x - 200.0) / 40.0)); };
    ASSERT_EQ(r.calculate(), ReactionOutcome::Plotted);
    const CurveTrace& t = r.trace();
    EXPECT_TRUE(t.truncated);
    EXPECT_EQ(t.count, 5);
    expectOnCurve(t, r.model.g);
    EXPECT_EQ(r.statuses,
              (std::vector<std::string>{"Has a portion plotted on the diagram", "Curve cut short after 5 points"}));
    ASSERT_EQ(r.model.written.size(), 1u);
    EXPECT_TRUE(r.model.written[0].truncated);
}

// =============================================================================
// Points that cannot be evaluated

TEST(TraceUnusable, TheCurveStopsShortOfWhereTheEnergiesCannotBeEvaluated) {
    // The diagonal through the window; below y = 3000 (as a fluid routine
    // below its pressure range) the reaction energy, or only the stability
    // test, cannot be evaluated; the window centre lies above.  Also with the
    // centre itself unusable (below y = 5500): the crossing is found where
    // the energies can be evaluated.
    struct Case {
        const char* name;
        double below;
        bool inStability;
    };
    for (const Case& c : {Case{"energy", 3000.0, false}, Case{"stability", 3000.0, true},
                          Case{"centre", 5500.0, false}}) {
        SCOPED_TRACE(c.name);
        TraceRun r(window(c.inStability));
        r.model.g = diagonal;
        const double below = c.below;
        (c.inStability ? r.model.unusableStabilityAt : r.model.unusableAt) = [below](double, double y) {
            return y < below;
        };
        ASSERT_EQ(r.calculate(), ReactionOutcome::Plotted);
        const CurveTrace& t = r.trace();
        expectOnCurve(t, r.model.g);
        EXPECT_TRUE(t.unusable);
        double ylo = 1e9, xhi = 0;
        for (int i = 0; i < t.count; ++i) {
            ylo = std::min(ylo, t.points[i].y);
            xhi = std::max(xhi, t.points[i].x);
        }
        EXPECT_GE(ylo, below);                   // nothing stored where it cannot be evaluated
        EXPECT_LT(ylo, below + 9999.0 / 100.0);  // and the curve comes close to it
        EXPECT_EQ(xhi, 900.0);                   // the other end is on the right side
        EXPECT_EQ(r.statuses.back(), "Curve stops where the energies cannot be evaluated");
    }
    // A curve that stays clear of such points says nothing about them.
    TraceRun r(window());
    r.model.g = [](double x, double) { return 30.0 * (x - 612.5); };
    r.model.unusableAt = [](double x, double) { return x < 300.0; };  // met by the crossing search only
    ASSERT_EQ(r.calculate(), ReactionOutcome::Plotted);
    EXPECT_FALSE(r.trace().unusable);
    EXPECT_EQ(r.statuses, (std::vector<std::string>{"Has a portion plotted on the diagram"}));
}

// =============================================================================
// One reaction from start to end

TEST(TraceCalculateReaction, NoCrossingPrunesTheSideNeverStable) {
    for (double g : {-500.0, 500.0}) {
        TraceRun r(window(true), 3);
        r.model.g = [g](double, double) { return g; };
        EXPECT_EQ(r.calculate(r.reaction(0, 2)), ReactionOutcome::Pruned);
        EXPECT_EQ(r.calculated, 0);
        EXPECT_TRUE(r.model.written.empty());
        ASSERT_EQ(r.pruned.count, 1);
        if (g < 0) {  // products stable everywhere: the reactant side goes
            EXPECT_EQ(r.statuses, std::vector<std::string>{"Reactant assemblage pruned from remaining reactions"});
            EXPECT_TRUE(calc::contains(r.pruned, std::vector<int>{0}));
        } else {
            EXPECT_EQ(r.statuses, std::vector<std::string>{"Product assemblage pruned from remaining reactions"});
            EXPECT_TRUE(calc::contains(r.pruned, std::vector<int>{2}));
        }
        // A later reaction holding the pruned phase is not even looked at.
        const long before = r.model.evaluations;
        EXPECT_EQ(r.calculate(r.reaction(2, 0)), ReactionOutcome::Skipped);
        EXPECT_EQ(r.model.evaluations, before);
    }
    // Metastable curves too: nothing is pruned.
    TraceRun r(window(false), 3);
    r.model.g = [](double, double) { return 500.0; };
    EXPECT_EQ(r.calculate(r.reaction(0, 2)), ReactionOutcome::NoCrossing);
    EXPECT_TRUE(r.statuses.empty());
    EXPECT_EQ(r.pruned.count, 0);
}

TEST(TraceCalculateReaction, APlottedCurveIsCountedRecordedAndPruned) {
    // Eighteen phases: the restart record takes two lines.
    TraceRun r(window(true), 18, 10);
    ASSERT_EQ(r.streams.open(10, "restart.res", io::OpenMode::Scratch), 0);
    r.model.g = diagonal;
    EXPECT_EQ(r.calculate(r.reaction(2, 16)), ReactionOutcome::Plotted);
    EXPECT_EQ(r.calculated, 1);
    EXPECT_EQ(r.plotted, 1);
    EXPECT_EQ(r.statuses, std::vector<std::string>{"Has a portion plotted on the diagram"});
    ASSERT_EQ(r.model.written.size(), 1u);
    EXPECT_GE(r.model.written[0].count, 2);
    // The whole phase set is pruned.
    EXPECT_TRUE(calc::contains(r.pruned, std::vector<int>{2, 16}));
    // The record: 16F8.1, one value per loaded phase.
    ASSERT_TRUE(r.streams.rewind(10));
    std::string l1, l2, l3;
    ASSERT_TRUE(r.streams.read_line(10, l1).done());
    ASSERT_TRUE(r.streams.read_line(10, l2).done());
    EXPECT_FALSE(r.streams.read_line(10, l3).done());
    std::string want1, want2;
    for (int i = 0; i < 16; ++i) want1 += i == 2 ? "    -1.0" : "     0.0";
    want2 = "     1.0     0.0";
    EXPECT_EQ(l1, want1);
    EXPECT_EQ(l2, want2);
}

TEST(TraceCalculateReaction, MetastableAbandonedAndIncludedPhases) {
    {
        // Never stable on the curve: calculated, nothing plotted, no record.
        TraceRun r(window(true), 3, 10);
        ASSERT_EQ(r.streams.open(10, "restart.res", io::OpenMode::Scratch), 0);
        r.model.g = diagonal;
        r.model.margin = [](double, double) { return 5.0; };
        EXPECT_EQ(r.calculate(r.reaction(0, 1)), ReactionOutcome::Metastable);
        EXPECT_EQ(r.calculated, 1);
        EXPECT_EQ(r.plotted, 0);
        EXPECT_EQ(r.statuses, std::vector<std::string>{"Curve entirely metastable on diagram"});
        EXPECT_LE(r.trace().count, 1);
        ASSERT_TRUE(r.streams.rewind(10));
        std::string line;
        EXPECT_FALSE(r.streams.read_line(10, line).done());
        EXPECT_TRUE(calc::contains(r.pruned, std::vector<int>{0, 1}));
    }
    {
        // The stability test fails at the first point: abandoned, silently.
        TraceRun r(window(true), 3);
        r.model.g = diagonal;
        r.model.failAt = [](double, double) { return true; };
        EXPECT_EQ(r.calculate(r.reaction(0, 1)), ReactionOutcome::Abandoned);
        EXPECT_EQ(r.calculated, 0);
        EXPECT_TRUE(r.statuses.empty());
        EXPECT_TRUE(r.model.written.empty());
        EXPECT_EQ(r.pruned.count, 0);
    }
    {
        // A phase included in all reactions is left out of the pruned sides.
        TraceRun r(window(true), 3);
        r.sel.allReactionsCount = 1;
        r.sel.allReactions[0] = 2;
        Reaction rx = r.reaction(0, 1);
        rx.coef[1] = 0.5;
        rx.coef[2] = 0.5;  // P1 = 0.5 P2 + 0.5 P3
        r.model.g = [](double, double) { return -10.0; };
        EXPECT_EQ(r.calculate(rx), ReactionOutcome::Skipped);  // three phases, one component
        r.sel.basis.componentCount = 2;
        EXPECT_EQ(r.calculate(rx), ReactionOutcome::Pruned);
        EXPECT_TRUE(calc::contains(r.pruned, std::vector<int>{0}));
        r.model.g = [](double, double) { return 10.0; };
        r.pruned.clear();
        EXPECT_EQ(r.calculate(rx), ReactionOutcome::Pruned);
        EXPECT_TRUE(calc::contains(r.pruned, std::vector<int>{1}));
    }
}

// =============================================================================
// The bundled database

// The aluminosilicates with quartz, muscovite, K-feldspar and water.
struct Database {
    std::unique_ptr<enumerate_test::PhaseSet> set;
    calc::PhaseSelection sel;
    calc::DiagramOptions rs;
    testsupport::EvaluationContext ctx;
    std::unique_ptr<calc::PointEvaluator> ev;

    Database() {
        set = enumerate_test::bundledPhases("K AL SI O H", {"And", "Ky", "Sil", "Qz", "Ms", "Kfs", "H2O"});
        if (!set) return;
        sel = enumerate_test::selectionFor(*set, {3, 0, 4, 5, 6});
        rs.diagramType = calc::kPT;
        rs.tMin = 200;
        rs.tMax = 900;
        rs.pMin = 1;
        rs.pMax = 10000;
        rs.xH2O = 1.0;
        rs.xCO2 = 0.0;
        rs.plotCurves = 'N';
        rs.fluid.water = 2;  // the routine the phases were loaded for
        ev = std::make_unique<calc::PointEvaluator>(rs, set->table, sel, ctx);
    }
    int index(const std::string& abbreviation) const {
        for (int i = 0; i < set->table.count; ++i)
            if (core::trim(set->table[i].abbreviation) == abbreviation) return i;
        return -1;
    }
    Reaction reaction(const std::vector<std::pair<std::string, double>>& terms) const {
        Reaction r;
        r.phaseCount = set->table.count;
        for (const auto& [a, c] : terms) r.coef[static_cast<std::size_t>(index(a))] = c;
        return r;
    }
    // The reaction Gibbs energy at (t, P), evaluated afresh by the property routines.
    double freshGibbs(const Reaction& r, double t, double P) const {
        model::ReactionTerms terms;
        model::makeReactionTerms(set->table, r.coef.data(), terms);
        testsupport::EvaluationContext c;
        c.table = &set->table;
        c.reaction = &terms;
        c.point.t = t;
        c.point.P = P;
        c.point.x[model::kWater] = 1.0;
        c.point.fluid = rs.fluid;
        return model::ReactionGibbs(c, c.point, *c.reaction);
    }
};

// The evaluator of the run as the tracer's model; every point counts as
// stable (metastable and stable curves).
struct EvaluatorModel : calc::CurveModel {
    calc::PointEvaluator& pe;
    const model::ReactionTerms* terms = nullptr;
    std::vector<CurveTrace> written;
    explicit EvaluatorModel(calc::PointEvaluator& e) : pe(e) {}
    void beginReaction(const Reaction& r) override { terms = &r.terms; }
    double deltaG(double x, double y) override {
        pe.setStateFromDiagram(x, y);
        return pe.reactionDeltaG(*terms);
    }
    int testStability(double& m) override {
        m = -1.0;
        return calc::kStable;
    }
    bool writeCurve(const CurveTrace& t, const Reaction&, long& plotted) override {
        written.push_back(t);
        ++plotted;
        return true;
    }
};

// Where two traced polylines cross (the first crossing found).
bool intersection(const CurveTrace& a, const CurveTrace& b, double& x, double& y) {
    for (int i = 1; i < a.count; ++i)
        for (int j = 1; j < b.count; ++j) {
            const auto &p = a.points[i - 1], &q = a.points[i], &u = b.points[j - 1], &v = b.points[j];
            const double rx = q.x - p.x, ry = q.y - p.y, sx = v.x - u.x, sy = v.y - u.y;
            const double den = rx * sy - ry * sx;
            if (den == 0.0) continue;
            const double t = ((u.x - p.x) * sy - (u.y - p.y) * sx) / den;
            const double s = ((u.x - p.x) * ry - (u.y - p.y) * rx) / den;
            if (t >= 0.0 && t <= 1.0 && s >= 0.0 && s <= 1.0) {
                x = p.x + t * rx;
                y = p.y + t * ry;
                return true;
            }
        }
    return false;
}

TEST(TraceBundledDatabase, AluminosilicateCurvesCrossTheWindowAndMeetAtTheTriplePoint) {
    Database db;
    ASSERT_TRUE(db.set);
    EvaluatorModel model(*db.ev);
    calc::PrunedAssemblageList pruned;
    io::Streams streams;
    CurveTracer tracer(model, db.set->table, pruned, db.sel, calc::traceSettingsFor(db.rs), streams, 0, nullptr);
    long calculated = 0, plotted = 0;
    const std::vector<std::vector<std::pair<std::string, double>>> reactions = {
        {{"Ky", -1.0}, {"Sil", 1.0}}, {{"Ky", -1.0}, {"And", 1.0}}, {{"And", -1.0}, {"Sil", 1.0}}};
    std::vector<CurveTrace> traces;
    for (const auto& terms : reactions) {
        Reaction r = db.reaction(terms);
        ASSERT_TRUE(tracer.calculateReaction(r, calculated, plotted).ok());
        ASSERT_EQ(tracer.outcome(), ReactionOutcome::Plotted) << r.text;
        const CurveTrace& t = tracer.trace();
        EXPECT_FALSE(t.truncated);
        EXPECT_GE(t.count, 3);
        for (int i = 0; i < t.count; ++i)
            EXPECT_LT(std::fabs(db.freshGibbs(r, t.points[i].x, t.points[i].y)), 10 * kGTol)
                << r.text << " point " << i << " at " << t.points[i].x << " C, " << t.points[i].y << " bar";
        // Each curve runs from side to side.
        int meetings = 0;
        for (int k = 1; k <= 4; ++k) meetings += t.sideMeetings[k];
        EXPECT_EQ(meetings, 2) << r.text;
        traces.push_back(t);
    }
    EXPECT_EQ(calculated, 3);
    // Ky = Sil and And = Sil meet at the triple point of the data set.
    double x = 0, y = 0;
    ASSERT_TRUE(intersection(traces[0], traces[2], x, y));
    EXPECT_NEAR(x, 505.58, 2.0);
    EXPECT_NEAR(y, 3736.7, 20.0);
    ASSERT_TRUE(intersection(traces[0], traces[1], x, y));
    EXPECT_NEAR(x, 505.58, 2.0);
    EXPECT_NEAR(y, 3736.7, 20.0);
}

TEST(TraceBundledDatabase, KyaniteSillimaniteHasNoCrossingAtLowTemperatureAndHighPressure) {
    Database db;
    ASSERT_TRUE(db.set);
    db.rs.tMin = 200;
    db.rs.tMax = 300;
    db.rs.pMin = 6000;
    db.rs.pMax = 10000;
    db.rs.plotCurves = 'Y';  // stable curves only: the side never stable is pruned
    EvaluatorModel model(*db.ev);
    calc::PrunedAssemblageList pruned;
    io::Streams streams;
    std::vector<std::string> statuses;
    CurveTracer tracer(model, db.set->table, pruned, db.sel, calc::traceSettingsFor(db.rs), streams, 0,
                       [&](std::string_view s) { statuses.emplace_back(s); });
    long calculated = 0, plotted = 0;
    Reaction r = db.reaction({{"Ky", -1.0}, {"Sil", 1.0}});
    ASSERT_TRUE(tracer.calculateReaction(r, calculated, plotted).ok());
    // Kyanite is stable over the whole window: sillimanite is pruned.
    EXPECT_EQ(tracer.outcome(), ReactionOutcome::Pruned);
    EXPECT_EQ(tracer.crossingSign(), 1.0);
    EXPECT_GT(db.freshGibbs(r, 250.0, 8000.0), 0.0);
    EXPECT_EQ(statuses, std::vector<std::string>{"Product assemblage pruned from remaining reactions"});
    EXPECT_TRUE(calc::contains(pruned, std::vector<int>{db.index("Sil")}));
}

TEST(TraceBundledDatabase, StableCurvesOfTheRunStopAtTheTriplePoint) {
    // The run's own model: point evaluator, stability test and plot writer.
    Database db;
    ASSERT_TRUE(db.set);
    db.rs.plotCurves = 'Y';
    io::Streams streams;
    ASSERT_EQ(streams.open(io::kUnitPlot, "plot.plt", io::OpenMode::Scratch), 0);
    calc::StabilityTester stability(*db.ev, db.set->table, db.sel);
    io::PlotWriter plot(streams, io::kUnitPlot, 0, db.rs, *db.ev, db.set->table, db.sel);
    calc::PrunedAssemblageList pruned;
    CurveTracer tracer(*db.ev, stability, plot, pruned, db.sel, calc::traceSettingsFor(db.rs), streams, 0,
                       nullptr);
    long calculated = 0, plotted = 0;

    // Ky = Sil is stable above the triple point only, And = Sil below it.
    struct Case {
        std::vector<std::pair<std::string, double>> terms;
        bool above;
    };
    for (const Case& c : {Case{{{"Ky", -1.0}, {"Sil", 1.0}}, true}, Case{{{"And", -1.0}, {"Sil", 1.0}}, false}}) {
        Reaction r = db.reaction(c.terms);
        ASSERT_TRUE(tracer.calculateReaction(r, calculated, plotted).ok());
        ASSERT_EQ(tracer.outcome(), ReactionOutcome::Plotted) << r.text;
        const CurveTrace& t = tracer.trace();
        double pLimit = c.above ? 1e9 : -1e9, tLimit = 0;
        for (int i = 0; i < t.count; ++i) {
            EXPECT_LT(std::fabs(db.freshGibbs(r, t.points[i].x, t.points[i].y)), 10 * kGTol);
            if (c.above ? t.points[i].y < pLimit : t.points[i].y > pLimit) {
                pLimit = t.points[i].y;
                tLimit = t.points[i].x;
            }
        }
        EXPECT_NEAR(tLimit, 505.58, 2.0) << r.text;
        EXPECT_NEAR(pLimit, 3736.7, 20.0) << r.text;
        EXPECT_EQ(stretches(t), 1) << r.text;
    }
    EXPECT_EQ(plotted, 2);
}

}  // namespace
