// The calculation of a diagram: every reaction among the phases of a run,
// enumerated over the basis, each traced across the window, the stable (or
// every) portion of its curve described for the outputs.  Values in, a
// result value out; the screens are reached only through the reaction
// chooser and the observer the caller gives.
#pragma once
#include <algorithm>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "calc/enumerate.hpp"
#include "calc/options.hpp"
#include "calc/plotted_curve.hpp"
#include "calc/selection.hpp"
#include "calc/stable_search.hpp"
#include "calc/trace.hpp"
#include "core/status.hpp"
#include "model/gibbs.hpp"
#include "model/phase.hpp"
#include "model/range_events.hpp"

namespace calc {

// The limits of the curve tracer.
struct TraceLimits {
    int rootIterations = 50;
    int refinementRounds = 20;
    double gibbsTolerance = 0.10000000149011612;  // J: 0.1 held in single precision
};

// The range events of a run (fluid routines outside their range, energies
// that are not finite) and how many of their first occurrences have been
// told: each is told once per run.
struct RangeEventLog {
    model::RangeEvents events;
    int told = 0;
};

// Lists the reactions and hands the chosen ones, in ascending order, to the
// sink (the reaction-selection screen of a run).
using ReactionChooser = std::function<core::Status(const ReactionList& list, const ReactionSink& sink)>;

// How the reactions of a diagram were found.
enum class ReactionMethod {
    // Every reaction of the enumeration traced in turn (metastable curves,
    // and stable curves when asked for or when the search cannot be used).
    Exhaustive,
    // Stable curves: the reactions that can be stable in the window found
    // first (calc/stable_search.hpp), then traced in the enumeration order.
    Search,
    Chosen,          // the reactions chosen from the list
    LastCalculated,  // the reactions calculated in the replayed run
};

// The line of the summary that says how the reactions of a diagram were found.
const char* reactionMethodText(ReactionMethod method);

// What the calculation of one diagram reads.
struct DiagramInputs {
    const DiagramOptions* options = nullptr;
    const model::PhaseTable* phases = nullptr;  // the phases of the run: main phases, then code-4 phases
    const PhaseSelection* selection = nullptr;  // with its basis
    TraceLimits limits;
    // Reactions chosen from a list (none: every reaction is calculated as
    // the enumeration finds it).
    ReactionChooser chooser;
    // A replay of the reactions calculated last time only: a reaction is
    // calculated when its phase set is that of one of these rows (none: all).
    const std::vector<std::vector<double>>* lastRows = nullptr;
    // The activity listing wants the conditions of every point.
    bool pointConditions = false;
    // Curves plotted before this diagram in the run (curves are numbered
    // through the run).
    long plottedBefore = 0;
    // Stable curves are found by the search unless Exhaustive is asked for.
    ReactionMethod method = ReactionMethod::Search;
};

// Where the calculation of a diagram stands.
struct DiagramProgress {
    // Search: the candidate reactions found so far and those traced (the
    // search finds more while it traces); Exhaustive, Chosen and
    // LastCalculated: the combinations of phases the enumeration walks and
    // those walked, or the chosen reactions and those calculated.
    ReactionMethod method = ReactionMethod::Exhaustive;
    double candidates = 0;
    double done = 0;
    double share() const { return candidates > 0 ? std::min(1.0, done / candidates) : 0.0; }
};

// Told what the calculation does while it runs.
class DiagramObserver {
public:
    virtual ~DiagramObserver() = default;
    // Where the calculation stands (after every reaction, and during the
    // search after every hull and every candidate traced).
    virtual void progress(const DiagramProgress& where) {}
    // The status line of the reaction being calculated.
    virtual void status(std::string_view text) {}
    // The counts of this diagram after every reaction handed over.
    virtual void counts(long examined, long calculated, long plotted) {}
    // A range event told for the first time (the text of the result's notice).
    virtual void notice(const std::string& text) {}
};

// A notice of the calculation, placed after the first `afterCurves` curves.
struct DiagramNotice {
    std::size_t afterCurves = 0;
    std::string text;
};

struct DiagramResult {
    std::vector<PlottedCurve> curves;     // in the order of plotting
    std::vector<DiagramNotice> notices;   // in the order they arose
    // The coefficients of every reaction with a portion plotted (one per
    // phase of the run): the rows of the restart file.
    std::vector<std::vector<double>> rows;
    long examined = 0, calculated = 0, plotted = 0;
    ReactionMethod method = ReactionMethod::Exhaustive;  // how the reactions were found
    SearchStatistics search;  // what the search did (Search)
};

// The notice of a range event: the routine, its range and the first point.
std::string rangeNotice(const model::RangeEvent& event, const model::PhaseTable& phases);

// Calculates the diagram of `inputs` with the property routines of `gibbs`
// (whose events go to `log`, when given).  Fails only when the chooser or
// the enumeration does.
core::Status computeDiagram(const DiagramInputs& inputs, model::GibbsEvaluator& gibbs, RangeEventLog* log,
                            DiagramObserver& observer, DiagramResult& result);

}  // namespace calc
