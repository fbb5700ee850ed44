// Following a reaction's equilibrium curve (reaction Gibbs energy zero)
// across the diagram.
//
// A compass search finds a sign change of the Gibbs energy in the window; a
// safeguarded secant finds the curve on a short segment; the curve is then
// followed step by step from a prediction line through its last two points,
// in both directions, and every further branch that enters the window through
// a side is traced in a pass of its own.  With stable curves only, every
// point is tested against the other phases of the run, the limits of the
// stable stretches are placed by bisection, and metastable points are not
// kept.
//
// Nothing here allocates once a reaction is under way: the trace, the
// bracket and the short memory of recent energies are fixed records.
#include "calc/trace.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "calc/enumerate.hpp"
#include "calc/pruned.hpp"
#include "calc/stability.hpp"

namespace calc {
namespace {

// 1e-8 held in single precision: the smallest displacement of the
// prediction line, as a fraction of the tolerance, that still gives it a
// finite slope.
constexpr double kDegenerateSlope = 9.99999993922529e-09;
// The search for a crossing starts this far off the window centre.
constexpr double kCentreOffset = 1e-6;
constexpr int kCornerVisits = 6;
// Half of 1/200 of the ranges: the offset of the segments of the second point.
constexpr double kSecondPointFraction = 1.0 / 400.0;
// Half-width of a step's segment, and the first increments, as fractions of
// the ranges.
constexpr double kSegmentFraction = 1.0 / 200.0;
constexpr double kFirstIncrementFraction = 1.0 / 1000.0;
constexpr double kGrowth = 4.0;                   // after a step that succeeded at once
constexpr double kLargestIncrementFraction = 1.0 / 6.0;
constexpr double kRetryIncrement = 1.5;           // tolerances, after the increments ran out
constexpr double kLimitOvershoot = 1.00101;       // steps aim just past the stability limit
constexpr double kLimitDistanceFloor = 1e-5;      // tolerances
constexpr double kRefineHalfWidth = 100.0;        // tolerances either side of the midpoint
constexpr double kRefineStop = 0.1;               // tolerances
constexpr double kProbeDistance = 10.0;           // tolerances from a side's meeting point

// Guards against loops the rules alone do not end (each far beyond what a
// curve needs): rounds of the crossing search, passes of one reaction, steps
// of one branch.  A branch that comes back to within half a segment width of
// the first point of its pass, after travelling a twentieth of the window,
// has closed on itself.
constexpr int kCrossingRounds = 10000;
constexpr int kMaxPasses = 16;
constexpr int kMaxBranchSteps = 20000;
constexpr double kLoopClosure = 1.0 / 400.0;
constexpr double kLoopTravel = 0.05;

constexpr const char* kUnusableStatus = "Curve stops where the energies cannot be evaluated";

constexpr std::size_t at(int i) { return static_cast<std::size_t>(i); }

double clampTo(double v, double lo, double hi) { return v < lo ? lo : (v > hi ? hi : v); }

bool samePoint(const TracePoint& a, const TracePoint& b) { return a.x == b.x && a.y == b.y; }

// An energy that could not be evaluated is held as NaN.
bool usable(double g) { return !std::isnan(g); }

// Whether a and b lie on opposite sides of the curve (or one on it).
bool signChange(double a, double b) { return a == 0.0 || b == 0.0 || (a < 0.0 && b > 0.0) || (a > 0.0 && b < 0.0); }

// The run's model: the point evaluator, the stability test and the plot
// writer.
class RunCurveModel final : public CurveModel {
public:
    RunCurveModel(PointEvaluator& evaluator, StabilityTester& stability, CurveSink& output)
        : pe_(evaluator), st_(stability), plot_(output) {}

    void beginReaction(const Reaction& reaction) override {
        terms_ = &reaction.terms;
        st_.beginReaction(reaction);
    }
    void endReaction() override { terms_ = nullptr; }
    double deltaG(double x, double y) override {
        pe_.setStateFromDiagram(x, y);
        return terms_ != nullptr ? pe_.reactionDeltaG(*terms_) : 0.0;
    }
    int testStability(double& margin) override { return st_.testAssemblageStability(margin); }
    long unusableEvaluations() const override {
        const model::RangeEvents* events = pe_.gibbs().events;
        return events != nullptr ? events->count() : 0;
    }
    bool writeCurve(const CurveTrace& trace, const Reaction& reaction, long& plotted) override {
        return plot_.writeCurve(trace, reaction, plotted);
    }

private:
    PointEvaluator& pe_;
    StabilityTester& st_;
    CurveSink& plot_;
    const model::ReactionTerms* terms_ = nullptr;  // of the reaction being traced
};

}  // namespace

// ---------------------------------------------------------------------------

TraceSettings traceSettingsFor(const DiagramOptions& settings) {
    const PlotWindow w = plotWindow(settings);
    TraceSettings s;
    s.xmin = w.xmin;
    s.xmax = w.xmax;
    s.ymin = w.ymin;
    s.ymax = w.ymax;
    s.xTolerance = std::min(1.0, std::fabs(w.xmax - w.xmin) / 1000.0);
    s.yTolerance = std::min(1.0, std::fabs(w.ymax - w.ymin) / 1000.0);
    s.stableOnly = settings.plotCurves != 'N';
    return s;
}

CurveTracer::CurveTracer(PointEvaluator& evaluator, StabilityTester& stability, CurveSink& output,
                         PrunedAssemblageList& pruned, const PhaseSelection& selection, const TraceSettings& settings,
                         ProgressFn progress)
    : owned_(std::make_unique<RunCurveModel>(evaluator, stability, output)),
      model_(*owned_),
      phases_(*evaluator.gibbs().table),
      pruned_(pruned),
      sel_(selection),
      set_(settings),
      progress_(std::move(progress)) {
    init();
}

CurveTracer::CurveTracer(CurveModel& model, const model::PhaseTable& phases, PrunedAssemblageList& pruned,
                         const PhaseSelection& selection, const TraceSettings& settings, ProgressFn progress)
    : model_(model),
      phases_(phases),
      pruned_(pruned),
      sel_(selection),
      set_(settings),
      progress_(std::move(progress)) {
    init();
}

CurveTracer::~CurveTracer() = default;

// Makes the settings safe to work with: a window given the wrong way round
// is turned, tolerances that are not positive get the usual thousandth of
// the range (never more than 1), and the limits stay within their tables.
void CurveTracer::init() {
    if (set_.xmin > set_.xmax) std::swap(set_.xmin, set_.xmax);
    if (set_.ymin > set_.ymax) std::swap(set_.ymin, set_.ymax);
    auto tolerance = [](double given, double range) {
        if (given > 0.0 && std::isfinite(given)) return given;
        const double t = std::min(1.0, range / 1000.0);
        return t > 0.0 ? t : 1e-12;
    };
    set_.xTolerance = tolerance(set_.xTolerance, set_.xmax - set_.xmin);
    set_.yTolerance = tolerance(set_.yTolerance, set_.ymax - set_.ymin);
    if (!(set_.gTolerance > 0.0)) set_.gTolerance = 0.10000000149011612;
    set_.rootIterations = std::max(set_.rootIterations, 1);
    set_.refinementRounds = std::max(set_.refinementRounds, 0);
    set_.capacity = std::clamp(set_.capacity, 1, kMaxCurvePoints);
}

void CurveTracer::status(std::string_view text) {
    if (progress_) progress_(text);
}

// --- evaluation ------------------------------------------------------------

double CurveTracer::evaluate(double x, double y) {
    for (int i = 0; i < recentCount_; ++i) {
        const TracePoint& r = recent_[at(i)];
        if (r.x == x && r.y == y) return r.g;
    }
    const long before = model_.unusableEvaluations();
    double g = model_.deltaG(x, y);
    ++stats_.evaluations;
    if (model_.unusableEvaluations() != before || !std::isfinite(g)) {
        g = NAN;
        ++stats_.unusable;
    }
    modelKnown_ = true;
    modelX_ = x;
    modelY_ = y;
    recent_[at(recentNext_)] = TracePoint{x, y, g};
    recentNext_ = (recentNext_ + 1) % kRecent;
    recentCount_ = std::min(recentCount_ + 1, kRecent);
    return g;
}

// Brings the model's state to p (a point whose energy may have come from the
// memory of recent points) before anything reads the state there.
void CurveTracer::syncState(const TracePoint& p) {
    if (modelKnown_ && p.x == modelX_ && p.y == modelY_) return;
    model_.deltaG(p.x, p.y);
    ++stats_.evaluations;
    modelKnown_ = true;
    modelX_ = p.x;
    modelY_ = p.y;
}

// kStabilityUnusable: the test met energies that cannot be evaluated.
constexpr int kStabilityUnusable = -1;

int CurveTracer::testStability(const TracePoint& p, double& margin) {
    syncState(p);
    ++stats_.stabilityTests;
    margin = 0.0;
    const long before = model_.unusableEvaluations();
    const int result = model_.testStability(margin);
    if (model_.unusableEvaluations() != before) {
        ++stats_.unusable;
        return kStabilityUnusable;
    }
    return result;
}

void CurveTracer::beginReaction(const Reaction& reaction) {
    model_.beginReaction(reaction);
    trace_.count = 0;
    trace_.sideMeetings.fill(0);
    trace_.sideCoordinate.fill(0.0);
    trace_.branchEnds = 0;
    trace_.pass = 0;
    trace_.truncated = false;
    trace_.unusable = false;
    stats_ = TraceStatistics{};
    recentCount_ = 0;
    recentNext_ = 0;
    limitCount_ = 0;
    modelKnown_ = false;
    cornersKnown_ = false;
    crossingSign_ = 0.0;
}

// --- the window ------------------------------------------------------------

bool CurveTracer::onSide(double x, double y) const {
    return x == set_.xmin || x == set_.xmax || y == set_.ymin || y == set_.ymax;
}

// Corner k (1..4; 5 is corner 1 again) with its energy when known.
TracePoint CurveTracer::corner(int k) const {
    k = (k - 1) % 4 + 1;
    TracePoint c;
    c.x = (k == 1 || k == 4) ? set_.xmin : set_.xmax;
    c.y = (k == 1 || k == 2) ? set_.ymin : set_.ymax;
    c.g = cornerG_[at(k)];
    return c;
}

// A point on a corner lies on two sides: both are recorded.
void CurveTracer::recordSides(const TracePoint& p) {
    const bool side[5] = {false, p.y == set_.ymin, p.x == set_.xmax, p.y == set_.ymax, p.x == set_.xmin};
    for (int k = 1; k <= 4; ++k) {
        if (!side[k]) continue;
        const std::size_t ks = static_cast<std::size_t>(k);
        ++trace_.sideMeetings[ks];
        trace_.sideCoordinate[ks] = (k == 1 || k == 3) ? p.x : p.y;
    }
}

// --- the crossing ------------------------------------------------------------

bool CurveTracer::findCrossing() {
    const double tol[2] = {set_.xTolerance, set_.yTolerance};
    // The first move in x goes towards xmin.
    double step[2] = {(set_.xmax - set_.xmin) / -10.0, (set_.ymax - set_.ymin) / 10.0};
    TracePoint c;
    c.x = clampTo((set_.xmin + set_.xmax) / 2.0 + kCentreOffset, set_.xmin, set_.xmax);
    c.y = clampTo((set_.ymin + set_.ymax) / 2.0 + kCentreOffset, set_.ymin, set_.ymax);
    c.g = evaluate(c.x, c.y);
    if (c.g == 0.0) {  // on the curve already
        bracket_.a = bracket_.b = cur_ = c;
        return true;
    }
    int dir = 0, failures = 0, corners = 0;
    for (int round = 0; round < kCrossingRounds; ++round) {
        TracePoint t = c;
        if (dir == 0)
            t.x = clampTo(c.x + step[0], set_.xmin, set_.xmax);
        else
            t.y = clampTo(c.y + step[1], set_.ymin, set_.ymax);
        bool better = false;
        if (!samePoint(t, c)) {  // a trial point equal to the current one is not evaluated
            t.g = evaluate(t.x, t.y);
            if (usable(t.g) && usable(c.g) && signChange(t.g, c.g)) {
                bracket_.a = c;
                bracket_.b = t;
                cur_ = t;
                return true;
            }
            // Any usable point is better than an unusable one.
            better = usable(t.g) && (!usable(c.g) || std::fabs(t.g) < std::fabs(c.g));
        }
        if (better) {
            c = t;
            step[dir] *= 2.0;
            failures = 0;
            dir ^= 1;
            const bool atCorner = (c.x == set_.xmin || c.x == set_.xmax) && (c.y == set_.ymin || c.y == set_.ymax);
            if (atCorner && ++corners >= kCornerVisits) break;
            continue;
        }
        if (failures == 0) {  // the other way once
            step[dir] = -step[dir];
            failures = 1;
            continue;
        }
        step[dir] /= 2.0;
        failures = 0;
        dir ^= 1;
        if (std::fabs(step[0]) < tol[0] && std::fabs(step[1]) < tol[1]) break;
    }
    // An unusable last point tells nothing of the stable side (sign 0).
    crossingSign_ = c.g < 0.0 ? -1.0 : (c.g > 0.0 ? 1.0 : 0.0);
    cur_ = c;
    return false;
}

// --- the root on a segment ---------------------------------------------------

int CurveTracer::solveOnSegment(int endsKnown, int requireBracket) {
    TracePoint& A = bracket_.a;
    TracePoint& B = bracket_.b;
    const bool inX = std::fabs(B.x - A.x) >= std::fabs(B.y - A.y);
    // The coordinate the ends share is A's.
    if (inX)
        B.y = A.y;
    else
        B.x = A.x;
    if (endsKnown < 1) {
        A.g = evaluate(A.x, A.y);
        B.g = evaluate(B.x, B.y);
    }
    // A segment reaching where the energies cannot be evaluated gives no root.
    if (!usable(A.g) || !usable(B.g)) {
        metUnusable_ = true;
        return 2;
    }
    if (requireBracket < 0 && A.g * B.g > 0.0) return 1;
    const double gTol = set_.gTolerance;
    if (std::fabs(A.g) < gTol) {
        cur_ = A;
        return 0;
    }
    if (std::fabs(B.g) < gTol) {
        cur_ = B;
        return 0;
    }
    const double lo = inX ? set_.xmin : set_.ymin;
    const double hi = inX ? set_.xmax : set_.ymax;
    const double fixed = inX ? A.y : A.x;
    for (int it = 1; it <= set_.rootIterations; ++it) {
        const double vA = inX ? A.x : A.y;
        const double vB = inX ? B.x : B.y;
        const bool bracketed = A.g * B.g < 0.0;
        const double denominator = B.g - A.g;
        double v = denominator != 0.0 ? vB - B.g * (vB - vA) / denominator : NAN;
        if (bracketed && (it % 4 == 0 || v == vA || v == vB || !std::isfinite(v))) v = (vA + vB) / 2.0;
        // Two ends of one energy on one side of the curve give no direction
        // to go in.
        if (!std::isfinite(v)) return 2;
        v = clampTo(v, lo, hi);
        // Without a sign change, an estimate clamped back onto an end (the
        // curve lies beyond the window) cannot make progress.
        if (!bracketed && (v == vA || v == vB)) return 2;
        TracePoint n;
        n.x = inX ? v : fixed;
        n.y = inX ? fixed : v;
        n.g = evaluate(n.x, n.y);
        if (!usable(n.g)) {
            metUnusable_ = true;
            return 2;
        }
        if (bracketed) {
            if ((n.g < 0.0) == (A.g < 0.0))
                A = n;
            else
                B = n;
        } else if (std::fabs(B.g) <= std::fabs(A.g) || n.g == A.g) {
            A = n;
        } else {
            B = n;
        }
        const double ax = std::fabs(B.x - A.x), ay = std::fabs(B.y - A.y);
        const bool converged =
            std::fabs(n.g) < gTol ||
            (ay < set_.yTolerance && ax < set_.xTolerance && std::fabs(n.g) < 10.0 * gTol) ||
            // Ends this close count as the root only while they hold a sign
            // change between them: ends that merely crowd together on one
            // side of the curve (against a side of the window) are no root.
            (A.g * B.g <= 0.0 && ay < set_.yTolerance / 100.0 && ax < set_.xTolerance / 100.0);
        if (converged) {
            cur_ = n;
            return 0;
        }
    }
    return 2;
}

// --- storing ---------------------------------------------------------------

// The trace holds at most `capacity` points.  When a point must be stored and
// the trace is full, the trace stops there: `truncated` is set, the last
// stored point is the end of the stored curve, and neither the other
// direction nor further branches are traced (there is no room for them).
// The caller reports the cut on the status line and in outcome().
bool CurveTracer::store(const TracePoint& p, short flag) {
    if (trace_.count >= set_.capacity) {
        trace_.truncated = true;
        return false;
    }
    CurvePoint& q = trace_.points[at(trace_.count++)];
    q.x = p.x;
    q.y = p.y;
    q.flag = flag;
    return true;
}

// A metastable point is held, uncounted, in the slot after the last counted
// point; the next one replaces it.
void CurveTracer::hold(const TracePoint& p) {
    if (trace_.count >= set_.capacity) return;
    CurvePoint& q = trace_.points[at(trace_.count)];
    q.x = p.x;
    q.y = p.y;
    q.flag = kContinues;
}

// A new point of the curve: its stability, the stability limit when it
// changed since the last point, and what is stored.
CurveTracer::Accept CurveTracer::accept(const TracePoint& p, bool firstOfPass) {
    int st = kStable;
    double margin = 0.0;
    if (set_.stableOnly) {
        st = testStability(p, margin);
        if (st == kStabilityFailed) return Accept::Failed;
        if (st == kStabilityUnusable) {
            trace_.unusable = true;
            return Accept::Unusable;
        }
    }
    const bool stable = st == kStable;
    bool room = true;
    if (firstOfPass) {
        prev_ = last_ = p;
        // A stable point on a side begins a stretch, as does the first point
        // of every pass after the first.
        const short flag = stable && (onSide(p.x, p.y) || trace_.count > 0) ? kNewStretch : kContinues;
        if (stable)
            room = store(p, flag);
        else
            hold(p);
    } else if (stable && lastStable_) {
        room = store(p, kContinues);
    } else if (!stable && lastStable_) {
        const TracePoint limit = refineStabilityLimit(last_, p);
        if (!samePoint(limit, last_)) room = store(limit, kContinues);
        hold(p);
    } else if (!stable) {
        hold(p);
    } else {
        // Stable again: the limit begins the new stretch.
        const TracePoint limit = refineStabilityLimit(p, last_);
        room = store(limit, kNewStretch);
        if (room && !samePoint(limit, p)) room = store(p, kContinues);
    }
    if (!firstOfPass) {
        prev_ = last_;
        last_ = p;
    }
    marginPrev_ = firstOfPass ? margin : marginLast_;
    marginLast_ = margin;
    lastStable_ = stable;
    return room ? Accept::Ok : Accept::Full;
}

// --- following the curve -----------------------------------------------------

// One solve of a step: stepping in x (solved in y) or in y (solved in x)
// from the last point along the prediction line.  False when the segment
// lies outside the window, the solve fails, or it only finds the last point
// again.
bool CurveTracer::solveSegment(bool stepInX, double slopeYX, double slopeXY, TracePoint& found) {
    const double sxp = (set_.xmax - set_.xmin) * kSegmentFraction;
    const double syp = (set_.ymax - set_.ymin) * kSegmentFraction;
    if (stepInX) {
        const double x1 = clampTo(last_.x + incX_, set_.xmin, set_.xmax);
        if (x1 == last_.x) return false;  // no move: the segment only holds the last point again
        const double yp = last_.y + slopeYX * (x1 - last_.x);
        const double lo = yp - syp, hi = yp + syp;
        if (!(hi >= set_.ymin && lo <= set_.ymax)) return false;
        bracket_.a = TracePoint{x1, std::max(set_.ymin, lo), 0.0};
        bracket_.b = TracePoint{x1, std::min(set_.ymax, hi), 0.0};
    } else {
        const double y1 = clampTo(last_.y + incY_, set_.ymin, set_.ymax);
        if (y1 == last_.y) return false;
        const double xp = last_.x + slopeXY * (y1 - last_.y);
        const double lo = xp - sxp, hi = xp + sxp;
        if (!(hi >= set_.xmin && lo <= set_.xmax)) return false;
        bracket_.a = TracePoint{std::max(set_.xmin, lo), y1, 0.0};
        bracket_.b = TracePoint{std::min(set_.xmax, hi), y1, 0.0};
    }
    if (solveOnSegment(-1, -1) != 0) return false;
    if (samePoint(cur_, last_)) return false;
    found = cur_;
    return true;
}

// One step of the branch.  False: the branch has ended (the increments ran
// out, twice).
bool CurveTracer::step(TracePoint& found, bool& firstTry) {
    // The prediction line through the last two points.
    const double ddx = last_.x - prev_.x, ddy = last_.y - prev_.y;
    const bool tinyX = std::fabs(ddx) < kDegenerateSlope * set_.xTolerance;
    const bool tinyY = std::fabs(ddy) < kDegenerateSlope * set_.yTolerance;
    // Both displacements tiny: every try fails the same way.
    if (tinyX && tinyY) return false;
    const double sign = (ddx < 0.0) == (ddy < 0.0) ? 1.0 : -1.0;
    const double slopeYX = tinyX ? sign / (set_.xTolerance * kDegenerateSlope) : ddy / ddx;
    const double slopeXY = tinyY ? sign / (set_.yTolerance * kDegenerateSlope) : ddx / ddy;
    // Steeper than 45 degrees in window units: step in y.
    const double sxp = (set_.xmax - set_.xmin) * kSegmentFraction;
    const double syp = (set_.ymax - set_.ymin) * kSegmentFraction;
    const bool preferY = std::fabs(syp * slopeXY / sxp) < std::fabs(sxp * slopeYX / syp);

    bool reversed = false;
    bool firstRound = true;
    metUnusable_ = false;
    // A branch that ends where the energies could not be evaluated stops short.
    auto ended = [this] {
        if (metUnusable_) trace_.unusable = true;
        return false;
    };
    for (;;) {
        stats_.largestXIncrement = std::max(stats_.largestXIncrement, std::fabs(incX_));
        stats_.largestYIncrement = std::max(stats_.largestYIncrement, std::fabs(incY_));
        const bool startInX = preferY == reversed;
        // Up to three solves alternate between the orientations, the
        // preferred first; the third would solve the first one's segment
        // again with the same increments and fail the same way, so it is not
        // made.
        for (int attempt = 0; attempt < 2; ++attempt) {
            const bool inX = attempt == 0 ? startInX : !startInX;
            if (solveSegment(inX, slopeYX, slopeXY, found)) {
                firstTry = firstRound && attempt == 0;
                ++(inX ? stats_.stepsInX : stats_.stepsInY);
                return true;
            }
        }
        firstRound = false;
        incX_ /= 2.0;
        incY_ /= 2.0;
        if (std::fabs(incX_) >= set_.xTolerance || std::fabs(incY_) >= set_.yTolerance) continue;
        if (reversed) return ended();
        // Once: the other orientation first, with steps of 1.5 tolerances.
        reversed = true;
        incX_ = std::copysign(kRetryIncrement * set_.xTolerance, incX_);
        incY_ = std::copysign(kRetryIncrement * set_.yTolerance, incY_);
    }
}

// The increments after a step from `from` to `to`.
void CurveTracer::adaptIncrements(const TracePoint& from, const TracePoint& to, bool firstTry) {
    const double dX = to.x - from.x, dY = to.y - from.y;
    double ix = dX, iy = dY;
    if (firstTry) {
        ix *= kGrowth;
        iy *= kGrowth;
    }
    const double capX = (set_.xmax - set_.xmin) * kLargestIncrementFraction;
    const double capY = (set_.ymax - set_.ymin) * kLargestIncrementFraction;
    if (std::fabs(ix) > capX) ix = std::copysign(capX, ix);
    if (std::fabs(iy) > capY) iy = std::copysign(capY, iy);
    // Aim just past the stability limit when the margin is shrinking
    // towards it: its zero extrapolated along the last displacement.
    const double m1 = marginPrev_, m2 = marginLast_;
    if (set_.stableOnly && m2 != 0.0 && (m1 > 0.0) == (m2 > 0.0) && std::fabs(m2) < std::fabs(m1)) {
        const double t = m2 / (m1 - m2);  // last displacements to the limit
        const double limX = std::max(std::fabs(t * dX), kLimitDistanceFloor * set_.xTolerance) * kLimitOvershoot;
        const double limY = std::max(std::fabs(t * dY), kLimitDistanceFloor * set_.yTolerance) * kLimitOvershoot;
        if (std::fabs(ix) > limX) ix = std::copysign(limX, ix);
        if (std::fabs(iy) > limY) iy = std::copysign(limY, iy);
    }
    incX_ = ix;
    incY_ = iy;
}

// Whether the step from `from` to `to` passes the first point of the pass
// again, far enough into the branch: the curve is a closed loop.
bool CurveTracer::closesLoop(const TracePoint& from, const TracePoint& to) const {
    if (branchSteps_ < 3 || branchLength_ < kLoopTravel) return false;
    const double wx = set_.xmax - set_.xmin, wy = set_.ymax - set_.ymin;
    if (!(wx > 0.0 && wy > 0.0)) return false;
    // Distance of the first point from the step's chord, in window units.
    const double ax = from.x / wx, ay = from.y / wy;
    const double bx = to.x / wx - ax, by = to.y / wy - ay;
    const double px = first_.x / wx - ax, py = first_.y / wy - ay;
    const double len2 = bx * bx + by * by;
    const double t = len2 > 0.0 ? clampTo((px * bx + py * by) / len2, 0.0, 1.0) : 0.0;
    const double ex = px - t * bx, ey = py - t * by;
    return ex * ex + ey * ey < kLoopClosure * kLoopClosure;
}

// Before the second direction of the first pass: the stored points run the
// other way, and every stretch still begins at its first point.
void CurveTracer::reverseStoredPoints() {
    const int n = trace_.count;
    std::array<bool, kMaxCurvePoints> gapBefore{};  // a stretch begins at point i
    for (int i = 1; i < n; ++i) gapBefore[at(i)] = trace_.points[at(i)].flag == kNewStretch;
    std::reverse(trace_.points.begin(), trace_.points.begin() + n);
    for (int j = 0; j < n; ++j) trace_.points[at(j)].flag = j == 0 ? kNewStretch : kContinues;
    // The gap before old point i lies after new point n - 1 - i.
    for (int i = 1; i < n; ++i)
        if (gapBefore[at(i)]) trace_.points[at(n - i)].flag = kNewStretch;
}

int CurveTracer::traceCurve() {
    // First point: between the bracket end left by the caller and the
    // current point.
    bracket_.b = cur_;
    metUnusable_ = false;
    if (solveOnSegment(1, -1) != 0) {
        if (metUnusable_) trace_.unusable = true;
        return 2;
    }
    first_ = cur_;
    trace_.branchEnds = 0;
    switch (accept(first_, true)) {
        case Accept::Failed: return 1;
        case Accept::Full: return 0;
        case Accept::Unusable: return 2;
        case Accept::Ok: break;
    }
    firstStable_ = lastStable_;
    firstMargin_ = marginLast_;
    recordSides(first_);

    // Second point: on short segments a little above or below, right or
    // left of the first.
    const double hx = std::fabs(set_.xmax - set_.xmin) * kSecondPointFraction;
    const double hy = std::fabs(set_.ymax - set_.ymin) * kSecondPointFraction;
    const double x0 = first_.x, y0 = first_.y;
    bool found = false;
    metUnusable_ = false;
    for (int d = 1; d >= -1 && !found; d -= 2) {
        if (!(d > 0 ? y0 == set_.ymax : y0 == set_.ymin)) {
            const double y1 = clampTo(y0 + d * hy, set_.ymin, set_.ymax);
            bracket_.a = TracePoint{std::max(set_.xmin, x0 - hx), y1, 0.0};
            bracket_.b = TracePoint{std::min(set_.xmax, x0 + hx), y1, 0.0};
            found = solveOnSegment(-1, -1) == 0;
        }
        if (!found && !(d > 0 ? x0 == set_.xmax : x0 == set_.xmin)) {
            const double x1 = clampTo(x0 + d * hx, set_.xmin, set_.xmax);
            bracket_.a = TracePoint{x1, std::max(set_.ymin, y0 - hy), 0.0};
            bracket_.b = TracePoint{x1, std::min(set_.ymax, y0 + hy), 0.0};
            found = solveOnSegment(-1, -1) == 0;
        }
    }
    if (!found) {
        if (metUnusable_) trace_.unusable = true;
        return 2;
    }
    second_ = cur_;
    switch (accept(second_, false)) {
        case Accept::Failed: return 1;
        case Accept::Full: return 0;
        case Accept::Unusable: return 2;
        case Accept::Ok: break;
    }
    secondMargin_ = marginLast_;
    const double initX = std::copysign((set_.xmax - set_.xmin) * kFirstIncrementFraction, second_.x - first_.x);
    const double initY = std::copysign((set_.ymax - set_.ymin) * kFirstIncrementFraction, second_.y - first_.y);
    incX_ = initX;
    incY_ = initY;
    const double wx = set_.xmax - set_.xmin, wy = set_.ymax - set_.ymin;
    auto travelled = [&](const TracePoint& a, const TracePoint& b) {
        const double ex = wx > 0.0 ? (b.x - a.x) / wx : 0.0, ey = wy > 0.0 ? (b.y - a.y) / wy : 0.0;
        return std::sqrt(ex * ex + ey * ey);
    };
    branchSteps_ = 0;
    branchLength_ = travelled(first_, second_);
    bool ended = onSide(second_.x, second_.y);
    if (ended) recordSides(second_);

    for (;;) {
        while (!ended) {
            TracePoint p;
            bool firstTry = false;
            if (!step(p, firstTry)) break;
            ++branchSteps_;
            branchLength_ += travelled(last_, p);
            const bool closing = closesLoop(last_, p);
            if (closing) p = first_;
            bool unusablePoint = false;
            switch (accept(p, false)) {
                case Accept::Failed: return 1;
                case Accept::Full: return 0;
                case Accept::Unusable: unusablePoint = true; break;
                case Accept::Ok: break;
            }
            if (unusablePoint) {
                // Shorter steps towards it, down to the tolerances; then the
                // branch ends at the last usable point.
                incX_ /= 2.0;
                incY_ /= 2.0;
                if (std::fabs(incX_) >= set_.xTolerance || std::fabs(incY_) >= set_.yTolerance) continue;
                break;
            }
            if (closing) {
                // A closed curve: both of its ends are here.
                stats_.closedLoop = true;
                trace_.branchEnds = 2;
                return 0;
            }
            if (onSide(p.x, p.y)) {
                recordSides(p);
                break;
            }
            adaptIncrements(prev_, last_, firstTry);
            if (branchSteps_ >= kMaxBranchSteps) {
                trace_.truncated = true;
                return 0;
            }
        }
        ++trace_.branchEnds;
        if (trace_.branchEnds >= 2 || trace_.pass > 1) return 0;

        // The other direction from the first point.
        reverseStoredPoints();
        prev_ = second_;
        last_ = first_;
        lastStable_ = firstStable_;
        marginPrev_ = secondMargin_;
        marginLast_ = firstMargin_;
        incX_ = -initX;
        incY_ = -initY;
        branchSteps_ = 0;
        branchLength_ = 0.0;
        // A first point on a side is already the end of this direction.
        ended = onSide(first_.x, first_.y);
    }
}

// --- stability limits ------------------------------------------------------

TracePoint CurveTracer::refineStabilityLimit(TracePoint stableEnd, TracePoint metastableEnd) {
    const TracePoint keep = cur_;
    TracePoint& S = stableEnd;
    TracePoint& M = metastableEnd;
    for (int it = 0; it < set_.refinementRounds; ++it) {
        const bool close = std::fabs(M.x - S.x) < kRefineStop * set_.xTolerance &&
                           std::fabs(M.y - S.y) < kRefineStop * set_.yTolerance;
        if (close) break;
        const double mx = (S.x + M.x) / 2.0, my = (S.y + M.y) / 2.0;
        if (std::fabs(M.y - S.y) >= std::fabs(M.x - S.x)) {
            const double w = kRefineHalfWidth * set_.xTolerance;
            bracket_.a = TracePoint{clampTo(mx - w, set_.xmin, set_.xmax), my, 0.0};
            bracket_.b = TracePoint{clampTo(mx + w, set_.xmin, set_.xmax), my, 0.0};
        } else {
            const double w = kRefineHalfWidth * set_.yTolerance;
            bracket_.a = TracePoint{mx, clampTo(my - w, set_.ymin, set_.ymax), 0.0};
            bracket_.b = TracePoint{mx, clampTo(my + w, set_.ymin, set_.ymax), 0.0};
        }
        // A midpoint off which the curve cannot be found leaves the limit
        // where it is.
        if (solveOnSegment(-1, 1) != 0) break;
        double margin = 0.0;
        if (testStability(cur_, margin) == kStable)
            S = cur_;
        else
            M = cur_;
    }
    ++stats_.limitPoints;
    if (limitCount_ < kMaxLimits) limits_[at(limitCount_++)] = Bracket{S, M};
    cur_ = keep;  // the model's state follows when it is next needed
    return S;
}

// --- further branches ------------------------------------------------------

bool CurveTracer::findReentry() {
    if (!cornersKnown_) {
        for (int k = 1; k <= 4; ++k) {
            const TracePoint c = corner(k);
            cornerG_[at(k)] = evaluate(c.x, c.y);
        }
        cornersKnown_ = true;
    }
    for (int k = 1; k <= 4; ++k) {
        const TracePoint ck = corner(k), cn = corner(k + 1);
        const int met = trace_.sideMeetings[at(k)];
        if (met == 0) {
            if (ck.g * cn.g <= 0.0) {
                bracket_.a = ck;
                cur_ = cn;
                return true;
            }
            continue;
        }
        if (met != 1) continue;
        // Met once: probe ten tolerances either side of the meeting point.
        // A meeting point closer than that to a corner leaves no room for
        // another branch on that side of it (a curve through the corner
        // itself would otherwise start again from the same point).
        const bool alongX = k == 1 || k == 3;
        const double c = trace_.sideCoordinate[at(k)];
        const double d = kProbeDistance * (alongX ? set_.xTolerance : set_.yTolerance);
        for (const TracePoint& end : {ck, cn}) {
            const double target = alongX ? end.x : end.y;
            if (std::fabs(target - c) < d) continue;
            TracePoint p = end;
            const double v = c + std::copysign(d, target - c);
            (alongX ? p.x : p.y) = v;
            p.g = evaluate(p.x, p.y);
            if (p.g * end.g <= 0.0) {
                bracket_.a = end;
                cur_ = p;
                return true;
            }
        }
    }
    return false;
}

// --- one reaction ------------------------------------------------------------


void CurveTracer::calculateReaction(Reaction& reaction, long& calculated, long& plotted) {
    outcome_ = ReactionOutcome::Skipped;
    // Text and sums; the include-in-all-reactions rule, which is also the
    // check against more phases than components plus one.
    if (!FormatReaction(phases_, sel_, reaction)) return;
    if (IsPruned(pruned_, reaction.coef.data(), reaction.phaseCount)) return;
    traceCurrent(reaction);
    finishReaction(reaction, calculated, plotted);
}

void CurveTracer::traceReaction(const Reaction& reaction, TracedReaction& out) {
    traceCurrent(reaction);
    out.outcome = outcome_;
    out.crossingSign = crossingSign_;
    out.count = trace_.count;
    out.points.assign(trace_.points.begin(), trace_.points.begin() + (trace_.count >= 2 ? trace_.count : 0));
    out.truncated = trace_.truncated;
    out.unusable = trace_.unusable;
    out.limits.assign(limits_.begin(), limits_.begin() + limitCount_);
}

void CurveTracer::replayReaction(Reaction& reaction, const TracedReaction& traced, long& calculated, long& plotted) {
    outcome_ = ReactionOutcome::Skipped;
    if (!FormatReaction(phases_, sel_, reaction)) return;
    if (IsPruned(pruned_, reaction.coef.data(), reaction.phaseCount)) return;
    trace_.count = std::clamp(traced.count, 0, set_.capacity);
    std::copy_n(traced.points.begin(), std::min(traced.points.size(), trace_.points.size()), trace_.points.begin());
    trace_.truncated = traced.truncated;
    trace_.unusable = traced.unusable;
    crossingSign_ = traced.crossingSign;
    outcome_ = traced.outcome;
    finishReaction(reaction, calculated, plotted);
}

void CurveTracer::traceCurrent(const Reaction& reaction) {
    beginReaction(reaction);
    struct EndReaction {
        CurveModel& model;
        ~EndReaction() { model.endReaction(); }
    } end{model_};

    if (!findCrossing()) {
        outcome_ = ReactionOutcome::NoCrossing;
        return;
    }
    for (;;) {
        ++trace_.pass;
        const int kept = trace_.count;
        if (traceCurve() != 0) {
            if (trace_.pass == 1) {
                outcome_ = ReactionOutcome::Abandoned;
                return;
            }
            // A further branch that cannot be followed: the branches traced
            // before it stand.
            trace_.count = kept;
            break;
        }
        if (trace_.truncated || trace_.pass >= kMaxPasses || !findReentry()) break;
    }
    outcome_ = trace_.count <= 1 ? ReactionOutcome::Metastable : ReactionOutcome::Plotted;
}

void CurveTracer::finishReaction(const Reaction& reaction, long& calculated, long& plotted) {
    if (outcome_ == ReactionOutcome::NoCrossing) {
        if (set_.stableOnly && crossingSign_ != 0.0) {
            // Products stable over the whole window: the reactants never are.
            if (crossingSign_ < 0.0) {
                recordPrunedAssemblage(pruned_, reaction, -1, sel_);
                status("Reactant assemblage pruned from remaining reactions");
            } else {
                recordPrunedAssemblage(pruned_, reaction, +1, sel_);
                status("Product assemblage pruned from remaining reactions");
            }
            outcome_ = ReactionOutcome::Pruned;
        }
        return;
    }
    if (outcome_ == ReactionOutcome::Abandoned) {
        if (trace_.unusable) status(kUnusableStatus);
        return;
    }

    ++calculated;
    if (outcome_ == ReactionOutcome::Metastable)
        status("Curve entirely metastable on diagram");
    else
        status("Has a portion plotted on the diagram");
    if (trace_.unusable) status(kUnusableStatus);
    if (trace_.truncated) {
        char line[64];
        std::snprintf(line, sizeof line, "Curve cut short after %d points", trace_.count);
        status(line);
    }
    model_.writeCurve(trace_, reaction, plotted);
    if (set_.stableOnly) recordPrunedAssemblage(pruned_, reaction, +1, sel_, true);
}

}  // namespace calc
