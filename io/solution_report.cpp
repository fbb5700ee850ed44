#include "io/solution_report.hpp"

#include <cmath>

#include "core/layout.hpp"
#include "core/text.hpp"
#include "model/activity.hpp"

namespace io {
namespace {

std::size_t at(int i) { return static_cast<std::size_t>(i); }

std::string fixed(double v, int width, int decimals) { return core::formatFixed(v, width, decimals); }

// A number that may be large or infinite, in a field of `width`.
std::string energy(double v, int width) {
    if (!std::isfinite(v)) return core::pad(std::string(std::string::size_type(width > 10 ? width - 10 : 0), ' ') +
                                                   (v < 0 ? " -infinity" : "  infinity"),
                                               static_cast<std::size_t>(width));
    std::string s = core::formatFixed(v, width, 2);
    if (s.find('*') != std::string::npos) s = core::formatExponent(v, width, 6, 'E');
    return s;
}

bool usedModel(const model::CompositionSet& cs, int model) {
    for (int s = 0; s < cs.slotCount; ++s)
        if (cs.slots[at(s)].model == model && cs.slots[at(s)].useFlag == 'Y') return true;
    return false;
}

}  // namespace

std::vector<std::string> solutionModelReport(const model::PhaseTable& phases, int phaseCount,
                                             const model::SolutionModelSet& models, double tC, double P) {
    std::vector<std::string> out;
    const model::CompositionSet& cs = models.composition;
    out.emplace_back("");
    out.emplace_back(" SOLUTION MODELS AND ACTIVITIES");
    out.emplace_back(" ******************************");
    if (!cs.anyModelUsed) {
        out.emplace_back(" No solution model is used: every phase is taken at the activity chosen for it");
        return out;
    }
    out.emplace_back(" Composition file: " + std::string(core::trim(cs.fileName)));
    for (int s = 0; s < cs.slotCount; ++s) {
        const model::ModelSlot& slot = cs.slots[at(s)];
        if (slot.useFlag != 'Y' || slot.model < 1 || slot.model > models.count) continue;
        const model::SolutionModel& m = models.models[at(slot.model - 1)];
        std::string keyword, description;
        if (m.selectedMixingModel >= 1 && m.selectedMixingModel <= m.mixingModelCount) {
            keyword = core::pad(m.mixingModels[at(m.selectedMixingModel - 1)].keyword, 8);
            description = std::string(core::rtrim(m.mixingModels[at(m.selectedMixingModel - 1)].description));
        }
        std::string line = " " + m.abbreviation + "  " + core::pad(m.name, 20) + "  variant " + keyword + " " +
                           core::pad(description, 30);
        if (cs.valueLine[at(s)] > 0) line += "  (values on line " + std::to_string(cs.valueLine[at(s)]) + ")";
        out.push_back(std::string(core::rtrim(line)));
        for (int site = 1; site <= m.siteCount; ++site) {
            const model::SiteDefinition& def = m.sites[at(site - 1)];
            std::string l = "       site " + std::to_string(site) + " (" + std::to_string(def.multiplicity) + "):";
            for (int c = 1; c <= def.cationCount; ++c)
                l += "  " + def.cations[at(c - 1)] + fixed(model::siteFraction(m, c, site), 7, 4);
            out.push_back(l);
        }
    }
    out.emplace_back("");
    out.push_back(" At T = " + std::string(core::trim(fixed(tC, 10, 2))) + " C, P = " +
                  std::string(core::trim(fixed(P, 12, 1))) +
                  " bar;  RT ln a = RT ln a(ideal) + RT ln gamma, RT ln gamma = a - b T + c (P - 1):");
    out.push_back(" Phase                Model Variant    a(ideal)          a (J)     b (J/K)   c (J/bar)"
                  "  RT ln gamma     RT ln a");
    const double T = tC + 273.15;
    bool plag = false;
    for (int i = 0; i < phaseCount && i < phases.count; ++i) {
        const model::PhaseRecord& p = phases[i];
        if (p.activityModel < 1 || p.activityModel > models.count || !usedModel(cs, p.activityModel)) continue;
        const model::SolutionModel& m = models.models[at(p.activityModel - 1)];
        const model::EndMemberActivity a = model::endMemberActivity(m, p.activityEndMember, P, T);
        const std::array<double, 3> abc = model::excessParameters(m, p.activityEndMember);
        std::string keyword = "        ";
        if (m.selectedMixingModel >= 1 && m.selectedMixingModel <= m.mixingModelCount)
            keyword = core::pad(m.mixingModels[at(m.selectedMixingModel - 1)].keyword, 8);
        // For "PLAG" the listed activity carries gamma; its ideal part is a / gamma.
        const double ideal = a.plagioclase ? (a.gamma > 0 ? a.activity / a.gamma : 0.0) : a.activity;
        plag = plag || a.plagioclase;
        std::string l = " " + core::pad(p.name, 20) + " " + m.abbreviation + "  " + keyword + " " +
                        core::formatExponent(ideal, 12, 5, 'E') + energy(abc[0], 14) + fixed(abc[1], 12, 4) +
                        fixed(abc[2], 12, 5) + energy(a.excess, 13) + energy(a.mu, 12);
        out.push_back(l);
    }
    if (plag)
        out.emplace_back(" PLAG: a(ideal) is the aluminium-avoidance form, a(An) = x(1+x)^2/4, a(Ab) = (1-x^2) X(Na),"
                         " x = X(Ca)");
    return out;
}

}  // namespace io
