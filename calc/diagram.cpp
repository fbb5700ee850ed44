#include "calc/diagram.hpp"

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>

#include "calc/point.hpp"
#include "calc/pruned.hpp"
#include "calc/stability.hpp"
#include "calc/stable_search.hpp"

namespace calc {
namespace {

// The curves of the diagram, described as the tracer finishes them.
class CurveCollector final : public CurveSink {
public:
    CurveCollector(const DiagramInputs& in, PointEvaluator& evaluator, DiagramResult& result)
        : in_(in), pe_(evaluator), result_(result) {}

    bool writeCurve(const CurveTrace& trace, const Reaction& reaction, long& plotted) override {
        if (trace.count < 2) return false;
        const long number = in_.plottedBefore + ++plotted;
        result_.curves.push_back(describeCurve(trace, reaction, number, pe_, *in_.options, *in_.phases,
                                               *in_.selection, in_.pointConditions));
        return true;
    }

private:
    const DiagramInputs& in_;
    PointEvaluator& pe_;
    DiagramResult& result_;
};

// The evaluator, stability test, curve collector and tracer of one diagram.
struct Machinery {
    PointEvaluator evaluator;
    StabilityTester stability;
    CurveCollector curves;
    PrunedAssemblageList pruned;
    CurveTracer tracer;

    Machinery(const DiagramInputs& in, model::GibbsEvaluator& gibbs, DiagramResult& result, DiagramObserver& observer)
        : evaluator(*in.options, *in.phases, *in.selection, gibbs),
          stability(evaluator, *in.phases, *in.selection),
          curves(in, evaluator, result),
          tracer(evaluator, stability, curves, pruned, *in.selection, settingsOf(in),
                 [&observer](std::string_view status) { observer.status(status); }) {}

    static TraceSettings settingsOf(const DiagramInputs& in) {
        TraceSettings t = traceSettingsFor(*in.options);
        t.rootIterations = in.limits.rootIterations;
        t.refinementRounds = in.limits.refinementRounds;
        t.gTolerance = in.limits.gibbsTolerance;
        return t;
    }
};

// The search's view of the run: the potentials of the stability test at a
// point, and each candidate traced as the run would trace it, the trace kept
// for the hand-over.  Anything that meets an energy that cannot be evaluated
// gives the search up, so that the run's notices stay those of the full
// enumeration.
class RunSearchModel final : public SearchModel {
public:
    struct Kept {
        bool reaction = false;     // the enumeration writes a reaction of these phases
        std::vector<double> coef;  // its coefficients
        TracedReaction traced;
    };

    RunSearchModel(const DiagramInputs& in, Machinery& m, RangeEventLog* log)
        : in_(in), m_(m), log_(log),
          considered_(std::clamp(in.selection->mainCount + in.selection->testCount, 0, in.phases->count)) {}

    bool potentials(double x, double y, double* mu, bool* absent) override {
        const long before = events();
        m_.evaluator.setStateFromDiagram(x, y);
        for (int i = 0; i < considered_; ++i) {
            absent[i] = m_.stability.absentFluid(i);
            mu[i] = m_.stability.phaseAlone(i);
            if (!std::isfinite(mu[i])) return false;
        }
        return events() == before;
    }

    bool follow(const PhaseMask& phases, std::vector<PhaseMask>& invariant) override {
        const long before = events();
        Kept& k = kept[phases];
        auto reaction = std::make_unique<Reaction>();
        k.reaction = reactionOfPhases(*in_.phases, *in_.selection, phases, *reaction);
        if (!k.reaction) return true;
        k.coef.assign(reaction->coef.begin(), reaction->coef.begin() + std::clamp(reaction->phaseCount, 0, model::kMaxPhases));
        m_.tracer.traceReaction(*reaction, k.traced);
        // Just beyond each stability limit: the phases that touch or cut the
        // plane of the reaction's phases there.
        std::array<int, model::kMaxPhases> touching{};
        for (const Bracket& limit : k.traced.limits) {
            m_.evaluator.setStateFromDiagram(limit.b.x, limit.b.y);
            m_.stability.beginReaction(*reaction);
            double margin = 0.0;
            if (m_.stability.testAssemblageStability(margin) == kStabilityFailed) continue;
            const int n = m_.stability.plane().touching(kTouchingWindow, touching.data(), model::kMaxPhases);
            PhaseMask phi = phases;
            for (int t = 0; t < n && t < model::kMaxPhases; ++t) phi.set(touching[static_cast<std::size_t>(t)]);
            invariant.push_back(phi);
        }
        return events() == before;
    }

    void progress(const SearchStatistics& statistics) override {
        observer_->progress(DiagramProgress{ReactionMethod::Search, static_cast<double>(statistics.candidates),
                                            static_cast<double>(statistics.followed)});
    }

    std::map<PhaseMask, Kept> kept;
    DiagramObserver* observer_ = nullptr;

private:
    // A phase within this much (J) of the plane just beyond a stability limit
    // counts as touching it.
    static constexpr double kTouchingWindow = 10.0;

    long events() const {
        if (log_ == nullptr) return 0;
        return log_->events.count() + log_->events.firstCount();
    }

    const DiagramInputs& in_;
    Machinery& m_;
    RangeEventLog* log_;
    int considered_;
};

// Whether the stable curves of `in` can be found by the search: a diagram of
// stable curves with every reaction wanted, and no phase whose potential
// depends on the reaction it is taken in.
bool searchApplies(const DiagramInputs& in) {
    if (in.method != ReactionMethod::Search || in.options->plotCurves == 'N' || in.chooser || in.lastRows != nullptr)
        return false;
    const int considered = std::clamp(in.selection->mainCount + in.selection->testCount, 0, in.phases->count);
    for (int i = 0; i < considered; ++i)
        if (StabilityTester::contextual((*in.phases)[i])) return false;
    return true;
}

// The first occurrences of range events not told yet.
void tellRangeEvents(RangeEventLog* log, const model::PhaseTable& phases, DiagramObserver& observer,
                     DiagramResult& result) {
    if (log == nullptr) return;
    for (; log->told < log->events.firstCount(); ++log->told) {
        std::string text = rangeNotice(log->events.first(log->told), phases);
        observer.notice(text);
        result.notices.push_back(DiagramNotice{result.curves.size(), std::move(text)});
    }
}

}  // namespace

const char* reactionMethodText(ReactionMethod method) {
    switch (method) {
        case ReactionMethod::Search: return "REACTIONS: FOUND BY THE SEARCH FOR STABLE ASSEMBLAGES, THEN TRACED";
        case ReactionMethod::Chosen: return "REACTIONS: THE CHOSEN REACTIONS EXAMINED";
        case ReactionMethod::LastCalculated: return "REACTIONS: THOSE CALCULATED IN THE REPLAYED RUN EXAMINED";
        case ReactionMethod::Exhaustive: break;
    }
    return "REACTIONS: EVERY REACTION OF THE ENUMERATION EXAMINED";
}

std::string rangeNotice(const model::RangeEvent& event, const model::PhaseTable& phases) {
    // A notice leaves the curves as they are.
    return model::describeRangeEvent(event, &phases) +
           (model::isNotice(event.source) ? "" : "; no curve is traced through such points");
}

core::Status computeDiagram(const DiagramInputs& in, model::GibbsEvaluator& gibbs, RangeEventLog* log,
                            DiagramObserver& observer, DiagramResult& result) {
    result = DiagramResult{};
    if (log != nullptr) gibbs.events = &log->events;
    auto m = std::make_unique<Machinery>(in, gibbs, result, observer);
    if (in.options->diagramType == kActAct) m->evaluator.prepareFixedConditions();

    EnumerationOptions options;
    EnumerationResult enumerated;
    core::Status s;
    // Where the enumeration stands: the combinations walked of all.
    const ProgressSink walked = [&](int) {
        observer.progress(DiagramProgress{result.method, enumerated.size, static_cast<double>(enumerated.examined)});
    };

    // One reaction handed over for calculation.
    const ReactionSink calculate = [&](Reaction& reaction) {
        if (in.lastRows != nullptr) {
            bool calculatedLastTime = false;
            for (const std::vector<double>& row : *in.lastRows)
                calculatedLastTime = calculatedLastTime || samePhaseSet(row.data(), reaction.coef.data(),
                                                                        std::min(in.phases->count,
                                                                                 static_cast<int>(row.size())));
            if (!calculatedLastTime) return core::Status::success();
        }
        ++result.examined;
        m->tracer.calculateReaction(reaction, result.calculated, result.plotted);
        if (m->tracer.outcome() == ReactionOutcome::Plotted) {
            const int n = std::clamp(reaction.phaseCount, 0, model::kMaxPhases);
            result.rows.emplace_back(reaction.coef.begin(), reaction.coef.begin() + n);
        }
        tellRangeEvents(log, *in.phases, observer, result);
        observer.counts(result.examined, result.calculated, result.plotted);
        if (!in.chooser) walked(0);
        return core::Status::success();
    };

    if (searchApplies(in)) {
        // The search, then its candidates in the enumeration order with the
        // traces it made.
        const RangeEventLog before = log != nullptr ? *log : RangeEventLog{};
        RunSearchModel model(in, *m, log);
        model.observer_ = &observer;
        AssemblageHull hull;
        PlaneTest::Coordinates x{};
        const int count = std::clamp(in.selection->mainCount + in.selection->testCount, 0, in.phases->count);
        const int dims = StabilityTester::coordinates(*in.selection, count, x);
        hull.setPhases(x, count, dims);
        const TraceSettings t = Machinery::settingsOf(in);
        SearchSettings settings;
        settings.xmin = t.xmin;
        settings.xmax = t.xmax;
        settings.ymin = t.ymin;
        settings.ymax = t.ymax;
        StableReactionSearch search(model, hull, count, settings);
        std::vector<PhaseMask> candidates;
        const bool searched = search.run(candidates);
        result.search = search.statistics();
        if (searched) {
            result.method = ReactionMethod::Search;
            options.only = &candidates;
            const int n = in.phases->count;
            const ReactionSink replay = [&](Reaction& reaction) {
                ++result.examined;
                auto it = model.kept.find(phasesOf(reaction.coef.data(), n));
                const bool same = it != model.kept.end() && it->second.reaction &&
                                  std::equal(it->second.coef.begin(), it->second.coef.end(), reaction.coef.begin());
                if (same)
                    m->tracer.replayReaction(reaction, it->second.traced, result.calculated, result.plotted);
                else
                    m->tracer.calculateReaction(reaction, result.calculated, result.plotted);
                if (m->tracer.outcome() == ReactionOutcome::Plotted) {
                    const int k = std::clamp(reaction.phaseCount, 0, model::kMaxPhases);
                    result.rows.emplace_back(reaction.coef.begin(), reaction.coef.begin() + k);
                }
                tellRangeEvents(log, *in.phases, observer, result);
                observer.counts(result.examined, result.calculated, result.plotted);
                return core::Status::success();
            };
            observer.progress(DiagramProgress{ReactionMethod::Search, static_cast<double>(candidates.size()),
                                              static_cast<double>(candidates.size())});
            s = EnumerateReactions(*in.phases, *in.selection, m->pruned, options, replay, nullptr, enumerated);
            tellRangeEvents(log, *in.phases, observer, result);
            return s;
        }
        // The search gave up: every reaction is examined, as if it had not run.
        if (log != nullptr) *log = before;
        m = std::make_unique<Machinery>(in, gibbs, result, observer);
        if (in.options->diagramType == kActAct) m->evaluator.prepareFixedConditions();
    }

    if (in.chooser)
        result.method = ReactionMethod::Chosen;
    else if (in.lastRows != nullptr)
        result.method = ReactionMethod::LastCalculated;
    if (!in.chooser) {
        s = EnumerateReactions(*in.phases, *in.selection, m->pruned, options, calculate, walked, enumerated);
    } else {
        // The reactions are listed, and the chosen ones calculated.
        ReactionList list;
        options.list = &list;
        EnumerateReactions(*in.phases, *in.selection, m->pruned, options, nullptr, nullptr, enumerated);
        s = in.chooser(list, calculate);
    }
    tellRangeEvents(log, *in.phases, observer, result);
    return s;
}

}  // namespace calc
