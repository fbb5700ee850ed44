#include "solutions/solution_report.hpp"

#include <cmath>

#include "records/layout.hpp"
#include "records/text.hpp"
#include "solutions/activity.hpp"

namespace solutions {
namespace {

std::size_t at(int i) { return static_cast<std::size_t>(i); }

std::string fixed(double v, int width, int decimals) { return records::format_fixed(v, width, decimals); }

// A number that may be large or infinite, in a field of `width`.
std::string energy(double v, int width) {
    if (!std::isfinite(v)) return records::pad(std::string(std::string::size_type(width > 10 ? width - 10 : 0), ' ') +
                                                   (v < 0 ? " -infinity" : "  infinity"),
                                               static_cast<std::size_t>(width));
    std::string s = records::format_fixed(v, width, 2);
    if (s.find('*') != std::string::npos) s = records::format_exponent(v, width, 6, 'E');
    return s;
}

bool usedModel(const CompositionSet& cs, int model) {
    for (int s = 0; s < cs.slotCount; ++s)
        if (cs.slots[at(s)].model == model && cs.slots[at(s)].useFlag == 'Y') return true;
    return false;
}

}  // namespace

std::vector<std::string> solutionModelReport(const thermodb::PhaseTable& phases, int phaseCount,
                                             const SolutionModelSet& models, double tC, double P) {
    std::vector<std::string> out;
    const CompositionSet& cs = models.composition;
    out.emplace_back("");
    out.emplace_back(" SOLUTION MODELS AND ACTIVITIES");
    out.emplace_back(" ******************************");
    if (!cs.anyModelUsed) {
        out.emplace_back(" No solution model is used: every phase is taken at the activity chosen for it");
        return out;
    }
    out.emplace_back(" Composition file: " + std::string(records::trim(cs.fileName)));
    for (int s = 0; s < cs.slotCount; ++s) {
        const ModelSlot& slot = cs.slots[at(s)];
        if (slot.useFlag != 'Y' || slot.model < 1 || slot.model > models.count) continue;
        const SolutionModel& m = models.models[at(slot.model - 1)];
        std::string keyword, description;
        if (m.selectedMixingModel >= 1 && m.selectedMixingModel <= m.mixingModelCount) {
            keyword = records::pad(m.mixingModels[at(m.selectedMixingModel - 1)].keyword, 8);
            description = std::string(records::rtrim(m.mixingModels[at(m.selectedMixingModel - 1)].description));
        }
        std::string line = " " + m.abbreviation + "  " + records::pad(m.name, 20) + "  variant " + keyword + " " +
                           records::pad(description, 30);
        if (cs.valueLine[at(s)] > 0) line += "  (values on line " + std::to_string(cs.valueLine[at(s)]) + ")";
        out.push_back(std::string(records::rtrim(line)));
        for (int site = 1; site <= m.siteCount; ++site) {
            const SiteDefinition& def = m.sites[at(site - 1)];
            std::string l = "       site " + std::to_string(site) + " (" + std::to_string(def.multiplicity) + "):";
            for (int c = 1; c <= def.cationCount; ++c)
                l += "  " + def.cations[at(c - 1)] + fixed(siteFraction(m, c, site), 7, 4);
            out.push_back(l);
        }
    }
    out.emplace_back("");
    out.push_back(" At T = " + std::string(records::trim(fixed(tC, 10, 2))) + " C, P = " +
                  std::string(records::trim(fixed(P, 12, 1))) +
                  " bar;  RT ln a = RT ln a(ideal) + RT ln gamma, RT ln gamma = a - b T + c (P - 1):");
    out.push_back(" Phase                Model Variant    a(ideal)          a (J)     b (J/K)   c (J/bar)"
                  "  RT ln gamma     RT ln a");
    const double T = tC + 273.15;
    bool plag = false;
    for (int i = 0; i < phaseCount && i < phases.count; ++i) {
        const thermodb::PhaseRecord& p = phases[i];
        if (p.activityModel < 1 || p.activityModel > models.count || !usedModel(cs, p.activityModel)) continue;
        const SolutionModel& m = models.models[at(p.activityModel - 1)];
        const EndMemberActivity a = endMemberActivity(m, p.activityEndMember, P, T);
        const std::array<double, 3> abc = excessParameters(m, p.activityEndMember);
        std::string keyword = "        ";
        if (m.selectedMixingModel >= 1 && m.selectedMixingModel <= m.mixingModelCount)
            keyword = records::pad(m.mixingModels[at(m.selectedMixingModel - 1)].keyword, 8);
        // For "PLAG" the listed activity carries gamma; its ideal part is a / gamma.
        const double ideal = a.plagioclase ? (a.gamma > 0 ? a.activity / a.gamma : 0.0) : a.activity;
        plag = plag || a.plagioclase;
        std::string l = " " + records::pad(p.name, 20) + " " + m.abbreviation + "  " + keyword + " " +
                        records::format_exponent(ideal, 12, 5, 'E') + energy(abc[0], 14) + fixed(abc[1], 12, 4) +
                        fixed(abc[2], 12, 5) + energy(a.excess, 13) + energy(a.mu, 12);
        out.push_back(l);
    }
    if (plag)
        out.emplace_back(" PLAG: a(ideal) is the aluminium-avoidance form, a(An) = x(1+x)^2/4, a(Ab) = (1-x^2) X(Na),"
                         " x = X(Ca)");
    return out;
}

}  // namespace solutions
