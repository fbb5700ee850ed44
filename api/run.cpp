// The phases of a run from its answers, as a replayed run takes them.
#include "api/internal.hpp"
#include "calc/axis.hpp"
#include "calc/basis.hpp"
#include "core/text.hpp"

namespace pelkam::detail {
namespace {

std::size_t at(int i) { return static_cast<std::size_t>(i); }

bool isActivityDiagram(int t) { return t == calc::kActT || t == calc::kActP || t == calc::kActAct; }

}  // namespace

Result<void> prepareRun(const DatabaseData& database, const calc::DiagramOptions& options,
                        const calc::PhaseAnswers& answers, PreparedRun& run) {
    run.system = database.system;
    run.phases = database.phases;
    calc::PhaseSelection& sel = run.selection;
    const model::PhaseTable& phases = run.phases;
    calc::resetSelection(sel, phases);
    if (static_cast<int>(answers.phases.size()) != phases.count)
        return requestError("the run has " + std::to_string(phases.count) + " phases, the answers are for " +
                            std::to_string(answers.phases.size()));
    for (int i = 0; i < phases.count; ++i) {
        const calc::PhaseAnswer& a = answers.phases[at(i)];
        const std::string name(core::rtrim(phases[i].name));
        if (core::rtrim(a.name) != name) {
            Error e = requestError("phase " + std::to_string(i + 1) + " of the run is " + name + ", not this phase");
            e.value = std::string(core::rtrim(a.name));
            return e;
        }
        if (a.optionCode < calc::kInclude || a.optionCode > calc::kPlain) {
            Error e = requestError("option code is not 0 to 5");
            e.value = std::to_string(a.optionCode);
            return e;
        }
        if (a.optionCode != calc::kExclude && a.activity == 0.0)
            return requestError("activity 0 for " + name + ": an activity must be above 0, a log10 activity below 0");
        sel.optionCode[at(i)] = a.optionCode;
        sel.activity[at(i)] = a.activity;
    }
    const int type = options.diagramType;
    if (isActivityDiagram(type)) {
        const std::string* texts[2] = {&answers.xAxisText, &answers.yAxisText};
        calc::AxisQuotient* axes[2] = {&sel.xAxis, &sel.yAxis};
        bool* has[2] = {&sel.hasXAxis, &sel.hasYAxis};
        for (int a = 0; a < (type == calc::kActAct ? 2 : 1); ++a) {
            if (calc::parseAxisVariable(*texts[a], phases, *axes[a]) != calc::AxisParseResult::Ok) {
                Error e = requestError(a == 0 ? "cannot recognize X-axis variable" : "cannot recognize Y-axis variable");
                e.value = std::string(core::rtrim(*texts[a]));
                return e;
            }
            *has[a] = true;
        }
    }
    calc::applySelectionRules(type, phases, sel);
    if (const std::string problem = calc::fluidCompositionProblem(options, phases, sel); !problem.empty())
        return requestError(problem);
    calc::setAxisLabels(type, sel);
    if (core::Status s = calc::compactSelection(run.phases, run.system, sel); !s) return errorOf(s, run.messages);
    for (const std::string& line : calc::selectionNotes(run.phases, sel)) run.messages.push_back(line);
    if (core::Status s = calc::chooseBasis(run.system, run.phases, sel); !s) return errorOf(s, run.messages);
    return {};
}

}  // namespace pelkam::detail
