#include "calc/selection.hpp"

#include "calc/run_request.hpp"

#include <cmath>
#include <vector>

#include "core/layout.hpp"
#include "core/text.hpp"

namespace calc {
namespace {

std::size_t at(int i) { return static_cast<std::size_t>(i); }

bool isXCO2Diagram(int t) { return t == kTX || t == kPX; }

const core::Layout& activityLayout() {
    static const core::Layout l("(F10.5)");  // parsed once, never changed
    return l;
}

// Below this mole fraction the fluid routines treat a species as absent.
constexpr double kAbsentFraction = 1e-10;

}  // namespace

void resetSelection(PhaseSelection& sel, const model::PhaseTable& phases) {
    sel.optionCode.fill(kNotChosen);
    sel.activity.fill(1.0);
    sel.mainCount = sel.testCount = 0;
    sel.allReactionsCount = sel.projectionCount = 0;
    sel.chooseReactions = false;
    sel.hasXAxis = sel.hasYAxis = false;
    sel.xAxis = AxisQuotient{};
    sel.yAxis = AxisQuotient{};
    sel.waterIndex = sel.co2Index = -1;
    for (int i = 0; i < phases.count; ++i) {
        const std::string& name = phases[i].name;
        if (sel.waterIndex < 0 && name.compare(0, 5, "WATER") == 0) sel.waterIndex = i;
        if (sel.co2Index < 0 && name.compare(0, 10, "CARBON DIO") == 0) sel.co2Index = i;
    }
}

bool readActivityText(std::string_view text, double& activity) {
    std::string t(core::rtrim(text));
    if (t.find('.') == std::string::npos) t += '.';
    double v = 0;
    core::Target target[] = {&v};
    if (!core::read_text(std::string_view(t), activityLayout(), target).done()) return false;
    if (!std::isfinite(v)) return false;
    activity = v;
    return true;
}

double logActivityOf(double activity) { return activity > 0 ? std::log10(activity) : activity; }

std::string fluidCompositionProblem(const DiagramOptions& settings, const model::PhaseTable& phases,
                                    const PhaseSelection& sel) {
    // On T-xCO2 and P-xCO2 diagrams the fluid composition is the x axis.
    if (isXCO2Diagram(settings.diagramType)) return {};
    bool aqueous = false;
    for (int i = 0; i < phases.count; ++i)
        if (sel.optionCode[at(i)] != kExclude && sel.optionCode[at(i)] != kNotChosen &&
            (phases[i].kind == model::kAqueousHelgeson || phases[i].kind == model::kAqueousTanger))
            aqueous = true;
    for (int i = 0; i < phases.count; ++i) {
        const int code = sel.optionCode[at(i)];
        if (code == kExclude || code == kNotChosen) continue;
        const int kind = phases[i].kind;
        if (kind != model::kWater && kind != model::kCarbonDioxide) continue;
        const bool water = kind == model::kWater;
        if ((water ? settings.xH2O : settings.xCO2) >= kAbsentFraction) continue;
        const std::string x = water ? "xH2O" : "xCO2";
        if (water && aqueous && i == sel.waterIndex)
            return "aqueous species need water in the fluid: give " + x + " on the options screen";
        return x + " is 0: leave out " + std::string(core::rtrim(phases[i].name)) + " or give " + x +
               " on the options screen";
    }
    return {};
}

void applySelectionRules(int type, const model::PhaseTable& phases, PhaseSelection& sel) {
    const int n = phases.count;
    // Axis phases take part in the run.
    for (const auto* axis : {&sel.xAxis, &sel.yAxis})
        for (int m = 0; m < axis->memberCount; ++m) {
            const int p = axis->phase[at(m)];
            if (p >= 0 && p < n && sel.optionCode[at(p)] == kExclude) sel.optionCode[at(p)] = kInclude;
        }
    // Aqueous species bring water in as a projection phase.
    bool aqueous = false;
    for (int i = 0; i < n; ++i)
        if (sel.optionCode[at(i)] != kExclude &&
            (phases[i].kind == model::kAqueousHelgeson || phases[i].kind == model::kAqueousTanger))
            aqueous = true;
    if (aqueous && sel.waterIndex >= 0) {
        sel.optionCode[at(sel.waterIndex)] = kProject;
        sel.activity[at(sel.waterIndex)] = 1.0;
    }
    // T-xCO2 and P-xCO2: the fluid species are projection phases.
    if (isXCO2Diagram(type)) {
        if (sel.waterIndex >= 0) sel.optionCode[at(sel.waterIndex)] = kProject;
        if (sel.co2Index >= 0) sel.optionCode[at(sel.co2Index)] = kProject;
    }
    for (int i = 0; i < n; ++i) sel.logActivity[at(i)] = logActivityOf(sel.activity[at(i)]);
}


std::array<std::string, 2> plotAxisLabels(int type, std::string_view xAxisLabel, std::string_view yAxisLabel) {
    const char* temperature = "Temperature (C)";
    const char* pressure = "Pressure (bars)";
    std::string_view x, y;
    switch (type) {
        case kTX: x = "X (CO2)", y = temperature; break;
        case kPX: x = "X (CO2)", y = pressure; break;
        case kActT: x = xAxisLabel, y = temperature; break;
        case kActP: x = xAxisLabel, y = pressure; break;
        case kActAct: x = xAxisLabel, y = yAxisLabel; break;
        default: x = temperature, y = pressure; break;
    }
    return {core::pad(x, 100), core::pad(y, 100)};
}

void setAxisLabels(int type, PhaseSelection& sel) {
    const std::array<std::string, 2> labels = plotAxisLabels(type, sel.xAxis.label, sel.yAxis.label);
    sel.xLabel = labels[0];
    sel.yLabel = labels[1];
}

core::Status compactSelection(model::PhaseTable& phases, model::ChemicalSystem& system, PhaseSelection& sel) {
    const int n = phases.count;
    std::array<int, model::kMaxPhases> order{};
    int count = 0, main = 0;
    for (int pass = 0; pass < 2; ++pass)
        for (int i = 0; i < n; ++i) {
            const int code = sel.optionCode[at(i)];
            if (code == kExclude || code == kNotChosen) continue;
            if ((code == kTestOnly) != (pass == 1)) continue;
            order[at(count++)] = i;
            if (pass == 0) ++main;
        }
    if (count < 2) {
        core::Status s = core::Status::stop("fewer than two phases selected");
        s.message = {" ***FEWER THAN TWO PHASES SELECTED: NOTHING TO CALCULATE, EXECUTION TERMINATED"};
        return s;
    }

    std::array<int, model::kMaxPhases> newIndex;
    newIndex.fill(-1);
    for (int k = 0; k < count; ++k) newIndex[at(order[at(k)])] = k;
    {
        std::vector<model::PhaseRecord> moved(at(count));
        std::vector<std::array<double, model::kMaxElements>> rows(at(count));
        std::array<int, model::kMaxPhases> codes{};
        std::array<double, model::kMaxPhases> activities{}, logActivities{};
        for (int k = 0; k < count; ++k) {
            const int i = order[at(k)];
            moved[at(k)] = std::move(phases[i]);
            rows[at(k)] = system.stoichiometry[at(i)];
            codes[at(k)] = sel.optionCode[at(i)];
            activities[at(k)] = sel.activity[at(i)];
            logActivities[at(k)] = sel.logActivity[at(i)];
        }
        for (int k = 0; k < count; ++k) {
            phases[k] = std::move(moved[at(k)]);
            system.stoichiometry[at(k)] = rows[at(k)];
        }
        for (int k = count; k < n; ++k) {
            phases[k] = model::PhaseRecord{};
            system.stoichiometry[at(k)].fill(0.0);
        }
        sel.optionCode.fill(kNotChosen);
        sel.activity.fill(1.0);
        sel.logActivity.fill(0.0);
        for (int k = 0; k < count; ++k) {
            sel.optionCode[at(k)] = codes[at(k)];
            sel.activity[at(k)] = activities[at(k)];
            sel.logActivity[at(k)] = logActivities[at(k)];
        }
    }
    phases.count = count;
    sel.mainCount = main;
    sel.testCount = count - main;
    sel.allReactionsCount = sel.projectionCount = 0;
    for (int k = 0; k < count; ++k) {
        if (sel.optionCode[at(k)] == kIncludeAll) sel.allReactions[at(sel.allReactionsCount++)] = k;
        if (sel.optionCode[at(k)] == kProject) sel.projection[at(sel.projectionCount++)] = k;
    }
    auto remap = [&](int i) { return i >= 0 && i < n ? newIndex[at(i)] : -1; };
    sel.waterIndex = remap(sel.waterIndex);
    sel.co2Index = remap(sel.co2Index);
    for (auto* axis : {&sel.xAxis, &sel.yAxis})
        for (int m = 0; m < axis->memberCount; ++m) axis->phase[at(m)] = remap(axis->phase[at(m)]);
    sel.linkModel.fill(0);
    sel.linkEndMember.fill(0);
    sel.linkReciprocal.fill(0);
    return core::Status::success();
}

std::vector<std::string> selectionNotes(const model::PhaseTable& phases, const PhaseSelection& sel) {
    std::vector<std::string> lines;
    if (sel.allReactionsCount > 0) {
        lines.push_back("");
        for (int t = 0; t < sel.allReactionsCount; ++t) {
            const std::string name = core::pad(phases[sel.allReactions[at(t)]].name, 20);
            if (t == 0)
                lines.push_back(" THE FOLLOWING PHASES ARE INCLUDED IN ALL" + std::string(" REACTIONS:  ") + name);
            else
                lines.push_back(std::string(54, ' ') + name);
        }
    }
    if (sel.projectionCount > 0) {
        lines.push_back("");
        for (int t = 0; t < sel.projectionCount; ++t) {
            const int p = sel.projection[at(t)];
            std::string text = core::pad(phases[p].name, 20);
            // A projection phase that is an axis variable is named by its axis label.
            if (sel.hasXAxis && sel.xAxis.memberCount > 0 && sel.xAxis.phase[0] == p)
                text = core::pad(sel.xAxis.label, 50);
            else if (sel.hasYAxis && sel.yAxis.memberCount > 0 && sel.yAxis.phase[0] == p)
                text = core::pad(sel.yAxis.label, 50);
            if (t == 0)
                lines.push_back(" THE DIAGRAM WILL BE CALCULATED AS A PROJECTION" +
                                             std::string(" FROM THE FOLLOWING PHASES:  ") + text);
            else
                lines.push_back("     " + text);
        }
    }
    return lines;
}

void linkSolutionModels(model::PhaseTable& phases, PhaseSelection& sel, model::SolutionModelSet& models) {
    model::CompositionSet& cs = models.composition;
    cs.slotCount = 0;
    for (auto& slot : cs.slots) slot = model::ModelSlot{};
    sel.linkModel.fill(0);
    sel.linkEndMember.fill(0);
    sel.linkReciprocal.fill(0);
    for (int i = 0; i < phases.count; ++i) {
        model::PhaseRecord& p = phases[i];
        p.activityModel = p.activityEndMember = p.reciprocalSet = 0;
        const std::string_view name(p.name);
        const std::string_view key = name.substr(0, name.find(' '));
        if (key.empty()) continue;
        int model = 0, member = 0;
        for (int m = 0; m < models.count && model == 0; ++m) {
            const model::SolutionModel& sm = models.models[at(m)];
            for (int e = 0; e < sm.endMemberCount && model == 0; ++e)
                if (core::rtrim(sm.endMembers[at(e)].name) == key) model = m + 1, member = e + 1;
        }
        if (model == 0) continue;
        int slot = -1;
        for (int s = 0; s < cs.slotCount; ++s)
            if (cs.slots[at(s)].model == model) slot = s;
        if (slot < 0) {
            if (cs.slotCount == model::kMaxModelSlots) continue;  // no row left on the screen for this model
            slot = cs.slotCount++;
            cs.slots[at(slot)].model = model;
            cs.slots[at(slot)].name = core::pad(models.models[at(model - 1)].name, 20);
        }
        int recip = 0;
        for (int r = 0; r < models.reciprocalCount && recip == 0; ++r)
            if (models.reciprocal[at(r)].model == models.models[at(model - 1)].abbreviation) recip = r + 1;
        sel.linkModel[at(i)] = model;
        sel.linkEndMember[at(i)] = member;
        sel.linkReciprocal[at(i)] = recip;
        p.activityModel = model;
        p.activityEndMember = member;
        p.reciprocalSet = recip;
    }
}

PhaseAnswers phaseAnswers(const model::PhaseTable& phases, const PhaseSelection& sel) {
    PhaseAnswers a;
    for (int i = 0; i < phases.count; ++i) {
        const int code = sel.optionCode[at(i)];
        a.phases.push_back(PhaseAnswer{phases[i].name, code == kNotChosen ? kExclude : code, sel.activity[at(i)]});
    }
    a.xAxisText = sel.xAxis.text;
    a.yAxisText = sel.yAxis.text;
    a.chooseReactions = sel.chooseReactions;
    return a;
}

void applyModelChoice(model::PhaseTable& phases, const PhaseSelection& sel, model::SolutionModelSet& models) {
    model::CompositionSet& cs = models.composition;
    for (int m = 0; m < models.count; ++m) models.models[at(m)].selectedMixingModel = 0;
    cs.anyModelUsed = false;
    for (int s = 0; s < cs.slotCount; ++s) {
        model::ModelSlot& slot = cs.slots[at(s)];
        if (slot.useFlag != 'Y') slot.variant = 0;
        models.models[at(slot.model - 1)].selectedMixingModel = slot.variant;
        if (slot.useFlag == 'Y') cs.anyModelUsed = true;
    }
    for (int i = 0; i < phases.count; ++i) {
        model::PhaseRecord& p = phases[i];
        const int model = sel.linkModel[at(i)];
        bool used = false;
        for (int s = 0; s < cs.slotCount; ++s)
            if (cs.slots[at(s)].model == model && cs.slots[at(s)].useFlag == 'Y') used = true;
        p.activityModel = used ? model : 0;
        p.activityEndMember = used ? sel.linkEndMember[at(i)] : 0;
        p.reciprocalSet = used ? sel.linkReciprocal[at(i)] : 0;
    }
}

std::array<int, model::kMaxModels> chosenVariants(const model::CompositionSet& cs) {
    std::array<int, model::kMaxModels> v{};
    for (int s = 0; s < cs.slotCount; ++s) {
        const model::ModelSlot& slot = cs.slots[at(s)];
        if (slot.useFlag == 'Y' && slot.model >= 1 && slot.model <= model::kMaxModels) v[at(slot.model - 1)] = slot.variant;
    }
    return v;
}

}  // namespace calc
