#include "calc/diagram.hpp"

#include <algorithm>
#include <memory>

#include "calc/point.hpp"
#include "calc/pruned.hpp"
#include "calc/stability.hpp"

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
        return core::Status::success();
    };

    EnumerationOptions options;
    EnumerationResult enumerated;
    core::Status s;
    if (!in.chooser) {
        s = EnumerateReactions(*in.phases, *in.selection, m->pruned, options, calculate, nullptr, enumerated);
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
