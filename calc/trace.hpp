// Tracing one reaction's equilibrium curve across the diagram.
#pragma once
#include <array>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "calc/options.hpp"
#include "calc/point.hpp"
#include "calc/reaction.hpp"
#include "calc/selection.hpp"
#include "core/status.hpp"
#include "model/phase.hpp"

namespace calc {

constexpr int kMaxCurvePoints = 201;

enum PointFlag : short {
    kContinues = 2,    // the line continues from the previous point
    kNewStretch = 3,   // a new stretch begins here
};

struct CurvePoint {
    double x = 0, y = 0;
    short flag = kContinues;
};

// The points of one reaction's curve and the bookkeeping of the sides met.
// Sides: 1 y = ymin, 2 x = xmax, 3 y = ymax, 4 x = xmin (index 1..4).
struct CurveTrace {
    int count = 0;
    std::array<CurvePoint, kMaxCurvePoints> points{};
    std::array<int, 5> sideMeetings{};
    std::array<double, 5> sideCoordinate{};
    int branchEnds = 0;
    int pass = 0;
    bool truncated = false;  // the trace reached its capacity and stopped there
    // Points were met where the energies cannot be evaluated (a fluid
    // routine outside its range, an energy that is not finite): the curve
    // stops short of them.
    bool unusable = false;
};

// The window and tolerances of a run's curve tracing.
struct TraceSettings {
    double xmin = 0, xmax = 1, ymin = 0, ymax = 1;
    double xTolerance = 1e-3, yTolerance = 1e-3;
    double gTolerance = 0.10000000149011612;
    int rootIterations = 50;
    int refinementRounds = 20;
    bool stableOnly = true;  // plotCurves 'Y'
    // Points a trace may hold (at most kMaxCurvePoints; smaller values are
    // for tests of a full trace).
    int capacity = kMaxCurvePoints;
};

// The tracing settings of a run: the window of its diagram type, tolerances
// of a thousandth of each range (never more than 1), the root-finder and
// refinement limits, and stable curves only unless plotCurves is 'N'.
TraceSettings traceSettingsFor(const DiagramOptions& settings);

class StabilityTester;

// Where the run's tracer hands a finished curve (the plot file and the
// summary of a run).
class CurveSink {
public:
    virtual ~CurveSink() = default;
    // Takes a finished trace of `reaction`; true (and `plotted` increased)
    // when the curve was plotted.
    virtual bool writeCurve(const CurveTrace& trace, const Reaction& reaction, long& plotted) = 0;
};

// A point of the diagram with the reaction Gibbs energy there (J).
struct TracePoint {
    double x = 0, y = 0, g = 0;
};

// The two ends of the segment the root finder works on; both ends share one
// coordinate.
struct Bracket {
    TracePoint a, b;
};

// What the tracer needs from the rest of the run.  The run's own model
// (made by the first CurveTracer constructor) wraps the point evaluator, the
// stability test and the plot writer; tests and tools may give their own.
class CurveModel {
public:
    virtual ~CurveModel() = default;
    // The reaction whose curve is traced next (its terms are filled).
    virtual void beginReaction(const Reaction& reaction) = 0;
    // The reaction is finished; nothing of it is evaluated any more.
    virtual void endReaction() {}
    // Makes (x, y) the current state and returns the reaction Gibbs energy
    // there (J).
    virtual double deltaG(double x, double y) = 0;
    // Stability of the reaction's assemblage at the current state:
    // kStable, kMetastable or kStabilityFailed (calc/stability.hpp),
    // with the margin (J) that changes sign at the stability limit.
    virtual int testStability(double& margin) = 0;
    // How many unusable evaluations (model::RangeEvents) the model has met
    // so far: an evaluation during which this grows is not used.
    virtual long unusableEvaluations() const { return 0; }
    // Writes a finished trace; true (and `plotted` increased) when the
    // curve was plotted.
    virtual bool writeCurve(const CurveTrace& trace, const Reaction& reaction, long& plotted) = 0;
};

// How one reaction ended.
enum class ReactionOutcome {
    Skipped,     // rejected before tracing: include-in-all rule, too many phases, pruned
    NoCrossing,  // the curve does not cross the window (metastable curves: nothing pruned)
    Pruned,      // no crossing; the side never stable was pruned
    Abandoned,   // stability test failed at the first point, or no second point
    Metastable,  // calculated; at most one point stored
    Plotted,     // calculated; a portion lies on the diagram
};

// Counts of the work done for the current reaction (for tests and
// benchmarks).
struct TraceStatistics {
    long evaluations = 0;     // reaction Gibbs energies computed
    long stabilityTests = 0;
    long stepsInX = 0;        // successful steps made in x (solved in y)
    long stepsInY = 0;        // successful steps made in y (solved in x)
    long unusable = 0;        // evaluations that could not be used
    double largestXIncrement = 0;  // largest |dx| and |dy| a step was tried with
    double largestYIncrement = 0;
    int limitPoints = 0;      // stability limits placed
    bool closedLoop = false;  // a branch came back to its first point
};

// What tracing one reaction gave, kept to be handed to the outputs later
// (the stable-reaction search traces its candidates as it finds them, and
// hands them over in the order of the enumeration).
struct TracedReaction {
    ReactionOutcome outcome = ReactionOutcome::Skipped;  // NoCrossing, Abandoned, Metastable or Plotted
    double crossingSign = 0;
    int count = 0;
    std::vector<CurvePoint> points;  // the stored points (two or more), else none
    bool truncated = false, unusable = false;
    // Each stability limit placed: a = its stable side (a stretch end),
    // b = the metastable point next to it.
    std::vector<Bracket> limits;
};

// Finds, follows and stores the equilibrium curve of one reaction after the
// other.  Uses no allocation while tracing; one object serves a whole run.
//
// A point where the energies cannot be evaluated -- the model met a fluid
// routine outside its range or an energy that is not a finite number while
// computing the reaction energy or testing stability there -- is no point of
// the curve: it counts as a failed solve, so the curve is followed up to the
// last usable point and stops there (CurveTrace::unusable is set and the
// status line says "Curve stops where the energies cannot be evaluated").  A
// crossing is looked for among usable points only.
//
// A trace holds at most TraceSettings::capacity points (201).  A curve that
// needs more stops where the trace is full: CurveTrace::truncated is set, the
// last stored point is the end of the stored curve, nothing further of the
// reaction is traced, and the status line says "Curve cut short after N
// points".  A closed curve inside the window ends where it began.
class CurveTracer {
public:
    using ProgressFn = std::function<void(std::string_view status)>;

    // The run's tracer.  The phase table is the evaluator's
    // (evaluator.gibbs().table); the finished curves go to `output`.
    CurveTracer(PointEvaluator& evaluator, StabilityTester& stability, CurveSink& output, PrunedAssemblageList& pruned,
                const PhaseSelection& selection, const TraceSettings& settings, ProgressFn progress);
    // The same on any model of the reaction Gibbs energy, the stability test
    // and the output.
    CurveTracer(CurveModel& model, const model::PhaseTable& phases, PrunedAssemblageList& pruned,
                const PhaseSelection& selection, const TraceSettings& settings, ProgressFn progress);
    ~CurveTracer();
    CurveTracer(const CurveTracer&) = delete;
    CurveTracer& operator=(const CurveTracer&) = delete;

    // The whole procedure for one reaction: preparation (text, sums, the
    // include-in-all rule, too many phases, pruned assemblages), the search
    // for a crossing, the passes of tracing, counting, output and pruning.
    // `calculated` counts the reactions calculated, `plotted` those plotted;
    // how the reaction ended is outcome() (a reaction with a portion plotted
    // is a row of the restart file).
    void calculateReaction(Reaction& reaction, long& calculated, long& plotted);
    ReactionOutcome outcome() const { return outcome_; }

    // The tracing of calculateReaction alone, for a reaction whose text and
    // terms are filled: no pruning check, counts, status lines, output or
    // pruning.  What it gave goes to `out`.
    void traceReaction(const Reaction& reaction, TracedReaction& out);
    // calculateReaction with the tracing done before by traceReaction: the
    // same checks, counts, status lines, output and pruning.
    void replayReaction(Reaction& reaction, const TracedReaction& traced, long& calculated, long& plotted);

    // --- the steps, public for tests ----------------------------------------

    // Makes `reaction` the current one (model and stability set-up) and
    // clears the trace, the caches and the statistics.  The reaction must
    // stay in place while it is traced.
    void beginReaction(const Reaction& reaction);

    // Compass search for a sign change of the reaction Gibbs energy.  True:
    // bracket().a is the last point before the change and current() the
    // point after it.  False: crossingSign() tells which side is stable over
    // the whole window (negative: products; positive: reactants).
    bool findCrossing();
    double crossingSign() const { return crossingSign_; }

    // Root of the reaction Gibbs energy between bracket().a and bracket().b
    // (the coordinate they share is a's).  endsKnown < 1: the energies of the
    // ends are evaluated first; requireBracket < 0: ends of one sign return 1.
    // 0: converged, current() is the root; 1: no sign change between the
    // ends; 2: not converged (iteration limit, or no progress possible).
    int solveOnSegment(int endsKnown, int requireBracket);

    // One pass: the first point between bracket().a and current(), then the
    // curve in both directions (first pass) or inward (later passes).
    // 0: finished (trace().truncated when the trace filled up); 1: the
    // stability test failed at the first point or on the way; 2: no first
    // or second point.
    int traceCurve();

    // Places the stability limit between a stable and a metastable point of
    // the curve and returns the limit (its stable side); the current point
    // is restored afterwards.
    TracePoint refineStabilityLimit(TracePoint stableEnd, TracePoint metastableEnd);

    // Looks for a branch not yet traced.  True: bracket().a and current()
    // hold the start of the next pass.
    bool findReentry();

    const CurveTrace& trace() const { return trace_; }
    const TraceStatistics& stats() const { return stats_; }
    const TraceSettings& settings() const { return set_; }
    Bracket& bracket() { return bracket_; }
    TracePoint& current() { return cur_; }

private:
    void init();
    // The tracing of one reaction (outcome_ NoCrossing, Abandoned, Metastable
    // or Plotted), and what follows it.
    void traceCurrent(const Reaction& reaction);
    void finishReaction(const Reaction& reaction, long& calculated, long& plotted);
    double evaluate(double x, double y);
    void syncState(const TracePoint& p);
    int testStability(const TracePoint& p, double& margin);
    bool onSide(double x, double y) const;
    void recordSides(const TracePoint& p);
    bool store(const TracePoint& p, short flag);
    void hold(const TracePoint& p);
    enum class Accept { Ok, Failed, Full, Unusable };
    Accept accept(const TracePoint& p, bool firstOfPass);
    bool step(TracePoint& found, bool& firstTry);
    bool solveSegment(bool stepInX, double slopeYX, double slopeXY, TracePoint& found);
    void adaptIncrements(const TracePoint& from, const TracePoint& to, bool firstTry);
    bool closesLoop(const TracePoint& from, const TracePoint& to) const;
    void reverseStoredPoints();
    TracePoint corner(int k) const;
    void status(std::string_view text);

    std::unique_ptr<CurveModel> owned_;  // the run's model, when this tracer made it
    CurveModel& model_;
    const model::PhaseTable& phases_;
    PrunedAssemblageList& pruned_;
    const PhaseSelection& sel_;
    TraceSettings set_;
    ProgressFn progress_;

    ReactionOutcome outcome_ = ReactionOutcome::Skipped;
    CurveTrace trace_;
    TraceStatistics stats_;
    Bracket bracket_;
    TracePoint cur_;
    double crossingSign_ = 0;

    // Where the model's state is (it moves with every evaluation).
    bool modelKnown_ = false;
    double modelX_ = 0, modelY_ = 0;
    // The last few energies computed, so that no point is evaluated twice.
    static constexpr int kRecent = 8;
    std::array<TracePoint, kRecent> recent_{};
    int recentCount_ = 0, recentNext_ = 0;

    // Energies at the corners, computed once per reaction.
    bool cornersKnown_ = false;
    std::array<double, 5> cornerG_{};

    // The branch being traced: the last two points of the curve (whether
    // stored or not), their stability and margins; the increments; the
    // first two points of the pass (for the second direction).
    TracePoint prev_, last_;
    bool lastStable_ = true;
    double marginPrev_ = 0, marginLast_ = 0;
    double incX_ = 0, incY_ = 0;
    TracePoint first_, second_;
    bool firstStable_ = true;
    double firstMargin_ = 0, secondMargin_ = 0;
    double branchLength_ = 0;  // window-scaled length travelled on this branch
    int branchSteps_ = 0;
    bool metUnusable_ = false;  // a solve met a point that could not be evaluated

    // The stability limits placed for the current reaction.
    static constexpr int kMaxLimits = 64;
    std::array<Bracket, kMaxLimits> limits_{};
    int limitCount_ = 0;
};



}  // namespace calc
