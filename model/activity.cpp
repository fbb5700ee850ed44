#include "model/activity.hpp"

#include <cmath>
#include <limits>

#include "core/layout.hpp"
#include "core/text.hpp"

namespace model {
namespace {

// Site fractions below this take no part in the excess sum (1e-6 in single precision).
constexpr double kExcessFloor = static_cast<double>(1e-6f);
// The orthopyroxene rule's thresholds, and the site fraction below which a
// cation is named in the X = 0 message (1e-4 in single precision).
constexpr double kSmallFraction = static_cast<double>(1e-4f);

std::size_t at(int i) { return static_cast<std::size_t>(i); }

const EndMemberDefinition& endMemberOf(const SolutionModel& m, int e) { return m.endMembers[at(e - 1)]; }

// x^n for a small non-negative integer n.
double integerPower(double x, int n) {
    double r = 1.0;
    for (int k = 0; k < n; ++k) r *= x;
    return r;
}

// The order of a term less one: 1 for a binary term i j, 2 with one of k, l,
// 3 with both.
int orderLessOne(const InteractionTerm& t) {
    const bool k = t.cations[2] != 0, l = t.cations[3] != 0;
    return k && l ? 3 : (k || l ? 2 : 1);
}

}  // namespace

double siteFraction(const SolutionModel& m, int cation, int site) {
    if (cation == 0) return 1.0;
    if (cation < 0 || cation > kMaxCations || site < 1 || site > kMaxSites) return 0.0;
    return m.siteFractions[at(site - 1)][at(cation)];
}

double interactionW(const InteractionTerm& t, double P, double T) {
    return static_cast<double>(t.wH) - T * static_cast<double>(t.wS) + (P - 1.0) * static_cast<double>(t.wV);
}

double interactionFactor(const SolutionModel& m, int endMember, const InteractionTerm& t) {
    const int s = t.site;
    if (s < 1 || s > m.siteCount || endMember < 1 || endMember > m.endMemberCount) return 0.0;
    double product = 1.0;
    for (int c : t.cations) product *= siteFraction(m, c, s);
    const int qLessOne = orderLessOne(t);
    const EndMemberDefinition& em = endMemberOf(m, endMember);
    double z = 0.0;
    for (int k = 0; k < em.entries[at(s - 1)]; ++k) {
        const int c = em.cation[at(s - 1)][at(k)];
        const double x = siteFraction(m, c, s);
        if (!(x >= kExcessFloor)) continue;
        int q = 0;
        for (int ci : t.cations) q += ci == c ? 1 : 0;
        const double r = em.divisor[at(s - 1)][at(c)];
        z += product * (q / x / r - qLessOne);
    }
    return z;
}

bool idealVariant(const SolutionModel& m) {
    const int v = m.selectedMixingModel;
    if (v < 1 || v > m.mixingModelCount) return false;
    // Compared over eight characters, without a copy (this runs at every point).
    const std::string_view keyword(m.mixingModels[at(v - 1)].keyword);
    return core::rtrim(keyword.substr(0, 8)) == "IDEAL";
}

std::array<double, 3> excessParameters(const SolutionModel& m, int endMember) {
    std::array<double, 3> abc{};
    if (idealVariant(m)) return abc;
    for (int k = 0; k < m.interactionCount; ++k) {
        const InteractionTerm& t = m.interactionTerms[at(k)];
        const double z = interactionFactor(m, endMember, t);
        abc[0] += static_cast<double>(t.wH) * z;
        abc[1] += static_cast<double>(t.wS) * z;
        abc[2] += static_cast<double>(t.wV) * z;
    }
    return abc;
}

void precomputeExcessCoefficients(SolutionModel& m) {
    for (auto& abc : m.excessCoefficients) abc = {0.0, 0.0, 0.0};
    if (m.evaluateExcessEachCall != 0) return;
    for (int e = 1; e <= m.endMemberCount; ++e) m.excessCoefficients[at(e - 1)] = excessParameters(m, e);
}

double excessEnergy(const SolutionModel& m, int endMember, double P, double T, double* orderingRatio) {
    if (orderingRatio != nullptr) *orderingRatio = -1.0;
    double E = 0.0;
    if (idealVariant(m)) {
        E = 0.0;
    } else if (m.evaluateExcessEachCall != 0) {
        for (int k = 0; k < m.interactionCount; ++k) {
            const InteractionTerm& t = m.interactionTerms[at(k)];
            E += interactionW(t, P, T) * interactionFactor(m, endMember, t);
        }
    } else if (endMember >= 1 && endMember <= kMaxEndMembers) {
        const auto& abc = m.excessCoefficients[at(endMember - 1)];
        E = abc[0] - T * abc[1] + (P - 1.0) * abc[2];
    }
    // Orthopyroxene: the ordering term of end-member 3.
    if (m.abbreviation == "OPX " && endMember == 3 && siteFraction(m, 3, 1) > kSmallFraction) {
        const double F = siteFraction(m, 1, 1);
        const double G = F + siteFraction(m, 2, 1);
        if (G > kSmallFraction) {
            const double f = F / G;
            const auto& p = m.extraParameters;
            E += (p[3] - T * p[4] + (P - 1.0) * p[5]) * (1.0 - f) + (p[0] - T * p[1] + (P - 1.0) * p[2]) * f;
            if (orderingRatio != nullptr) *orderingRatio = f;
        }
    }
    return E;
}

// The ideal part of the activity: the site-mixing product, or the
// aluminium-avoidance form for "PLAG".  Independent of P and T.
double idealPart(const SolutionModel& m, int endMember) {
    const EndMemberDefinition& em = endMemberOf(m, endMember);
    if (m.abbreviation == "PLAG") {
        const double x = siteFraction(m, 1, 1);
        return endMember == 1 ? 0.25 * x * (1.0 + x) * (1.0 + x) : (1.0 - x * x) * siteFraction(m, endMember, 1);
    }
    double ideal = 1.0;
    for (int s = 1; s <= m.siteCount; ++s) {
        const int multiplicity = m.sites[at(s - 1)].multiplicity;
        for (int k = 0; k < em.entries[at(s - 1)]; ++k) {
            const int n = em.count[at(s - 1)][at(k)];
            if (n <= 0) continue;
            // The ratio of multiplicity to count in single precision.
            const double ratio = static_cast<double>(static_cast<float>(multiplicity) / static_cast<float>(n));
            ideal *= integerPower(ratio * siteFraction(m, em.cation[at(s - 1)][at(k)], s), n);
        }
    }
    return ideal;
}

EndMemberActivity endMemberActivity(const SolutionModel& m, int endMember, double P, double T) {
    EndMemberActivity a;
    if (endMember < 1 || endMember > m.endMemberCount) {
        a.activity = 0.0;
        a.mu = -std::numeric_limits<double>::infinity();
        a.vanishing = true;
        return a;
    }
    const double RT = kGasConstant * T;
    a.excess = excessEnergy(m, endMember, P, T, &a.orderingRatio);
    a.gamma = std::exp(a.excess / RT);
    const EndMemberDefinition& em = endMemberOf(m, endMember);

    // The last cation of the end-member with a site fraction below 0.0001.
    for (int s = 1; s <= m.siteCount; ++s)
        for (int k = 0; k < em.entries[at(s - 1)]; ++k)
            if (siteFraction(m, em.cation[at(s - 1)][at(k)], s) < kSmallFraction) {
                a.lowCation = k + 1;
                a.lowSite = s;
            }

    const double ideal = idealPart(m, endMember);
    if (m.abbreviation == "PLAG") {
        // Aluminium avoidance: x is the anorthite fraction (cation 1 on site 1).
        a.plagioclase = true;
        a.activity = ideal * a.gamma;
        // gamma is positive at any P and T: the activity vanishes with its ideal part.
        a.vanishing = !(ideal > 0.0);
        a.mu = ideal > 0.0 ? RT * std::log(ideal) + a.excess : -std::numeric_limits<double>::infinity();
        return a;
    }
    a.activity = ideal;
    a.vanishing = !(ideal >= kVanishingActivity);
    a.mu = ideal > 0.0 ? RT * std::log(ideal) + a.excess : -std::numeric_limits<double>::infinity();
    return a;
}

double reciprocalContribution(const SolutionModel& m, const ReciprocalSet& rs, int endMember, double P, double T) {
    if (endMember < 1 || endMember > m.endMemberCount) return 0.0;
    const EndMemberDefinition& em = endMemberOf(m, endMember);
    double g = 0.0;
    for (int k = 0; k < rs.termCount && k < kMaxReciprocalTerms; ++k) {
        const ReciprocalTerm& term = rs.terms[at(k)];
        const int A = term.siteA, B = term.siteB;
        if (A < 1 || A > m.siteCount || B < 1 || B > m.siteCount) continue;
        const int o = em.entries[at(A - 1)] > 0 ? em.cation[at(A - 1)][0] : 0;
        const int t = em.entries[at(B - 1)] > 0 ? em.cation[at(B - 1)][0] : 0;
        const auto& plus = term.plusPair;
        const auto& minus = term.minusPair;
        // The partner pair; a later match replaces an earlier one.
        int u = 0, w = 0;
        double sign = 0.0;
        if (o == plus[0] && t == plus[1]) u = plus[2], w = plus[3], sign = 1.0;
        if (o == plus[2] && t == plus[3]) u = plus[0], w = plus[1], sign = 1.0;
        if (o == minus[0] && t == minus[1]) u = minus[2], w = minus[3], sign = -1.0;
        if (o == minus[2] && t == minus[3]) u = minus[0], w = minus[1], sign = -1.0;
        if (sign == 0.0 || u == 0 || w == 0) continue;
        const double G = term.g0 - T * term.g1 + (P - 1.0) * term.g2;
        if (t == 3 || t == 4)
            g += sign * G * siteFraction(m, u, A) * (1.0 - siteFraction(m, t, B));
        else
            g += sign * G * siteFraction(m, u, A) * siteFraction(m, w, B);
    }
    return g;
}

double endMemberActivityTerm(const SolutionModelSet& set, double P, double T, int model, int endMember) {
    if (model < 1 || model > set.count) return 0.0;
    const SolutionModel& m = set.models[at(model - 1)];
    if (endMember < 1 || endMember > m.endMemberCount) return -std::numeric_limits<double>::infinity();
    // RT ln a = RT ln(ideal part) + E for every model ("PLAG": a = ideal part * gamma).
    const double ideal = idealPart(m, endMember);
    if (!(ideal > 0.0)) return -std::numeric_limits<double>::infinity();
    return kGasConstant * T * std::log(ideal) + excessEnergy(m, endMember, P, T);
}

double reciprocalTerm(const SolutionModelSet& set, double P, double T, int model, int endMember, int recip) {
    if (model < 1 || model > set.count || recip < 1 || recip > set.reciprocalCount) return 0.0;
    return reciprocalContribution(set.models[at(model - 1)], set.reciprocal[at(recip - 1)], endMember, P, T);
}

bool endMemberOfPhase(const SolutionModelSet& set, std::string_view phaseName, int& model, int& endMember) {
    model = endMember = 0;
    const std::string_view key = phaseName.substr(0, phaseName.find(' '));
    if (key.empty()) return false;
    for (int m = 1; m <= set.count && m <= kMaxModels; ++m) {
        const SolutionModel& sm = set.models[at(m - 1)];
        for (int e = 1; e <= sm.endMemberCount; ++e)
            if (core::rtrim(endMemberOf(sm, e).name) == key) {
                model = m;
                endMember = e;
                return true;
            }
    }
    return false;
}

int reciprocalSetOf(const SolutionModelSet& set, int model) {
    if (model < 1 || model > set.count) return 0;
    for (int r = 0; r < set.reciprocalCount && r < kMaxReciprocalSets; ++r)
        if (set.reciprocal[at(r)].model == set.models[at(model - 1)].abbreviation) return r + 1;
    return 0;
}

std::string vanishingActivityMessage(const SolutionModel& m, int endMember, const EndMemberActivity& a) {
    const char c = a.lowCation > 0 && a.lowCation < 10 ? static_cast<char>('0' + a.lowCation) : '?';
    const char s = a.lowCation > 0 && a.lowSite < 10 ? static_cast<char>('0' + a.lowSite) : '?';
    const std::string name =
        endMember >= 1 && endMember <= kMaxEndMembers ? std::string(core::rtrim(endMemberOf(m, endMember).name)) : "";
    return std::string("**ERROR** X=0 for cation#") + c + " on site#" + s + " of " + name;
}

std::string activityListingLine(const SolutionModel& m, int endMember, double P, double T,
                                const EndMemberActivity& a) {
    static const core::Layout layout("(A4,1X,A20,2F7.1,F9.3,F9.5,F13.1)");  // parsed once, never changed
    const std::string name = endMember >= 1 && endMember <= kMaxEndMembers ? endMemberOf(m, endMember).name : "";
    // A vanishing activity has no finite RT ln a: the field says so in words.
    const double mu = std::isfinite(a.mu) ? a.mu : 0.0;
    core::Value v[] = {std::string_view(m.abbreviation), std::string_view(name), P, T - 273.15, a.gamma,
                          a.activity, mu};
    std::string line = core::writeLine(layout, v);
    if (!std::isfinite(a.mu)) line = line.substr(0, line.size() - 13) + "    -infinity";
    return line;
}

}  // namespace model
