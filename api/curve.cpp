// One reaction's curve across a window, every stretch with its stability.
#include <algorithm>

#include "api/internal.hpp"
#include "calc/enumerate.hpp"
#include "calc/point.hpp"
#include "calc/stability.hpp"
#include "calc/trace.hpp"
#include "core/text.hpp"
#include "pelkam/curve.hpp"

namespace pelkam {
namespace {

using detail::requestError;

// Keeps the finished trace.
class KeptTrace final : public calc::CurveSink {
public:
    bool writeCurve(const calc::CurveTrace& trace, const calc::Reaction&, long& plotted) override {
        kept = trace;
        ++plotted;
        return true;
    }
    calc::CurveTrace kept;
};

calc::DiagramOptions optionsOf(const CurveWindow& w, const FluidRoutines& routines) {
    calc::DiagramOptions o;
    o.diagramType = static_cast<int>(w.type);
    o.fluid = model::FluidModelChoice{routines.mixing, routines.water, routines.co2};
    o.plotCurves = 'N';  // every stretch, stable or metastable
    switch (w.type) {
        case DiagramType::TxCO2:
            o.xAxisMin = w.xMin, o.xAxisMax = w.xMax, o.tMin = w.yMin, o.tMax = w.yMax, o.pMin = w.fixed;
            o.xCO2 = (w.xMin + w.xMax) / 2;
            break;
        case DiagramType::PxCO2:
            o.xAxisMin = w.xMin, o.xAxisMax = w.xMax, o.pMin = w.yMin, o.pMax = w.yMax, o.tMin = w.fixed;
            o.xCO2 = (w.xMin + w.xMax) / 2;
            break;
        default:
            o.tMin = w.xMin, o.tMax = w.xMax, o.pMin = w.yMin, o.pMax = w.yMax;
            o.xCO2 = w.xCO2;
            break;
    }
    o.xH2O = 1 - o.xCO2;
    return o;
}

}  // namespace

Result<Curve> traceReaction(const Database& database, const Reaction& reaction, const CurveWindow& window,
                            std::span<const std::string> competing) {
    if (window.type != DiagramType::PT && window.type != DiagramType::TxCO2 && window.type != DiagramType::PxCO2)
        return requestError("a single curve is traced on P-T, T-xCO2 and P-xCO2 diagrams only");
    if (!(window.xMin < window.xMax) || !(window.yMin < window.yMax))
        return requestError("the window is empty: give xMin < xMax and yMin < yMax");
    const detail::DatabaseData& db = database.data();

    // The run: the reaction's phases and the competing ones, at unit activity.
    calc::PhaseAnswers answers = calc::phaseAnswers(db.phases, calc::PhaseSelection{});
    for (calc::PhaseAnswer& a : answers.phases) {
        a.optionCode = calc::kExclude;
        a.activity = 1.0;
    }
    std::vector<int> inRun(static_cast<std::size_t>(db.phases.count), 0);
    for (const Reaction::Term& t : reaction.terms) {
        const int i = database.indexOf(t.phase);
        if (i < 0) return requestError("the database does not hold " + t.phase.name + " of reaction \"" + reaction.text + "\"");
        inRun[static_cast<std::size_t>(i)] = 1;
    }
    for (const std::string& name : competing) {
        const int i = database.find(name);
        if (i < 0) return requestError("unknown phase '" + name + "': no abbreviation or name in " + database.file() +
                                       " matches it");
        inRun[static_cast<std::size_t>(i)] = 1;
    }
    for (int i = 0; i < db.phases.count; ++i)
        if (inRun[static_cast<std::size_t>(i)]) answers.phases[static_cast<std::size_t>(i)].optionCode = calc::kInclude;
    const calc::DiagramOptions options = optionsOf(window, database.options().routines);
    auto run = std::make_unique<detail::PreparedRun>();
    if (Result<void> prepared = detail::prepareRun(db, options, answers, *run); !prepared) return prepared.error();

    // The reaction over the phases of the run (the excluded ones are gone,
    // the order kept).
    auto rx = std::make_unique<calc::Reaction>();
    rx->phaseCount = run->selection.mainCount;
    for (const Reaction::Term& t : reaction.terms) {
        const int loaded = database.indexOf(t.phase);
        const int position = static_cast<int>(std::count(inRun.begin(), inRun.begin() + loaded, 1));
        rx->coef[static_cast<std::size_t>(position)] = t.coefficient;
    }
    calc::FormatReaction(run->phases, run->selection, *rx);

    model::GibbsEvaluator gibbs;
    model::RangeEvents events;
    gibbs.table = &run->phases;
    gibbs.events = &events;
    calc::PointEvaluator evaluator(options, run->phases, run->selection, gibbs);
    calc::StabilityTester stability(evaluator, run->phases, run->selection);
    KeptTrace sink;
    auto pruned = std::make_unique<calc::PrunedAssemblageList>();
    auto tracer = std::make_unique<calc::CurveTracer>(evaluator, stability, sink, *pruned, run->selection,
                                                      calc::traceSettingsFor(options), nullptr);
    long calculated = 0, plotted = 0;
    tracer->calculateReaction(*rx, calculated, plotted);

    Curve curve;
    curve.reaction = std::string(core::rtrim(rx->text));
    if (plotted == 0) return curve;
    const calc::CurveTrace& trace = sink.kept;
    curve.truncated = trace.truncated;
    curve.unusable = trace.unusable;
    stability.beginReaction(*rx);
    for (int k = 0; k < trace.count; ++k) {
        const calc::CurvePoint& p = trace.points[static_cast<std::size_t>(k)];
        evaluator.setStateFromDiagram(p.x, p.y);
        double margin = 0;
        const bool stable = stability.testAssemblageStability(margin) == calc::kStable;
        if (curve.stretches.empty() || p.flag == calc::kNewStretch || curve.stretches.back().stable != stable)
            curve.stretches.push_back(CurveStretch{stable, {}});
        curve.stretches.back().points.push_back(CurvePoint{p.x, p.y, stable});
    }
    return curve;
}

}  // namespace pelkam
