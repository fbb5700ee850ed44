// End-member activities of the solid-solution models: pure functions of a
// model's data (sites, end-members, the interaction terms of its chosen
// variant, the site fractions of the composition file), pressure and
// temperature.  Nothing here reads a file, writes a stream or keeps state.
//
// Units: P in bar, T in kelvin, energies in J/mol; R = 8.3143 J/(mol K).
//
// The activity of end-member e of a model is a = a_id * gamma:
//   a_id  = product over sites s and the end-member's cations c on s of
//           ((m_s / n_c) X(c,s))^n_c   (m_s the site multiplicity, n_c the
//           cation's count; ideal site mixing),
//   RT ln gamma = E = sum over the interaction terms W X_i X_j X_k X_l of the
//           variant, each W = wH - T wS + (P - 1) wV contributing
//           W Pi (q / X(c,s) / r - (Q - 1)) per cation c of the end-member on
//           the term's site (Pi the product of the term's site fractions, q
//           how often c occurs in the term, r = m_s div n_c, Q the order of
//           the term): for r = 1 the partial molar excess of the Margules
//           polynomial (Helffrich & Wood 1989, Am. Mineral. 74, 1016-1022; the
//           Ca-Mg-Fe-Mn garnet paper, Am. Mineral. 75 (1990), 328-344, uses
//           the same form).
// Two models have rules of their own:
//   "PLAG": the aluminium-avoidance ideal part of Kerrick & Darken (1975,
//           Geochim. Cosmochim. Acta 39, 1431-1442): a(An) = x (1 + x)^2 / 4 gamma,
//           a(other end-member e) = (1 - x^2) X(e,1) gamma, x = X(1,1);
//   "OPX ": end-member 3 gains the ordering term of the header's six extra
//           parameters (p4 - T p5 + (P - 1) p6)(1 - f) + (p1 - T p2 + (P - 1) p3) f
//           with f = X(1,1) / (X(1,1) + X(2,1)).
#pragma once
#include <array>
#include <string>
#include <string_view>

#include "model/solution_models.hpp"

namespace model {

constexpr double kGasConstant = 8.3143;  // J/(mol K)

// Below this ideal activity an end-member cannot be used (X = 0 on a site).
constexpr double kVanishingActivity = 1e-6;

// Everything the activity routine knows about one end-member at (P, T).
struct EndMemberActivity {
    double mu = 0;             // RT ln a, J/mol (minus infinity when a is 0)
    double excess = 0;         // E = RT ln gamma, J/mol, the orthopyroxene term included
    double gamma = 1;          // exp(E / RT)
    double activity = 1;       // a_id; for "PLAG" the full activity a (gamma included)
    bool plagioclase = false;  // the "PLAG" rule gave the activity
    // The activity cannot be used: a_id below 1e-6 (not for "PLAG"), or an
    // activity that is not positive (any model).
    bool vanishing = false;
    // The last cation of the end-member whose site fraction is below 0.0001:
    // its position in the end-member's list of cations on that site (1-based)
    // and the site; 0 when there is none.
    int lowCation = 0, lowSite = 0;
    double orderingRatio = -1;  // "OPX " end-member 3: f of the ordering term, -1 when it did not apply
};

// Site fraction X(c, s) of cation c (0..6; X(0, s) = 1) on site s (1-based).
double siteFraction(const SolutionModel& m, int cation, int site);

// W of an interaction term at (P bar, T K), J.
double interactionW(const InteractionTerm& t, double P, double T);

// The factor Z of one interaction term for end-member e (1-based) at the
// model's site fractions: sum over the end-member's cations c on the term's
// site with X(c,s) >= 1e-6 of Pi (q / X(c,s) / r - (Q - 1)).  E = sum W Z.
double interactionFactor(const SolutionModel& m, int endMember, const InteractionTerm& t);

// True when the chosen variant is "IDEAL" (no excess energy, whatever
// interaction lines it has).
bool idealVariant(const SolutionModel& m);

// The excess energy of end-member e reduced to E = A - T B + (P - 1) C: the
// sums of wH Z, wS Z and wV Z over the chosen variant's terms (all 0 for
// "IDEAL").  Exact for every composition-only model; the "OPX " ordering
// term is not in it.
std::array<double, 3> excessParameters(const SolutionModel& m, int endMember);

// Fills m.excessCoefficients with excessParameters for every end-member when
// the model reduces its excess to coefficients (evaluateExcessEachCall 0);
// leaves them 0 otherwise.  Call once the site fractions are set.
void precomputeExcessCoefficients(SolutionModel& m);

// E of end-member e at (P, T) (J/mol): 0 for "IDEAL", summed over the terms
// when the model evaluates its excess on each call, else from its
// excessCoefficients; the "OPX " ordering term added.  `orderingRatio`
// receives f of that term (-1 when it did not apply).
double excessEnergy(const SolutionModel& m, int endMember, double P, double T, double* orderingRatio = nullptr);

// The activity of end-member e (1-based) of model m at (P bar, T K).
EndMemberActivity endMemberActivity(const SolutionModel& m, int endMember, double P, double T);

// The reciprocal contribution of end-member e of model m for the reciprocal
// set `rs` at (P bar, T K), J/mol: per term, with o and t the end-member's
// first cations on siteA and siteB, the partner pair of (o, t) in the term
// gives sign * G X(u, siteA) X(w, siteB) (or sign * G X(u, siteA)
// (1 - X(t, siteB)) when t is 3 or 4), G = g0 - T g1 + (P - 1) g2.
double reciprocalContribution(const SolutionModel& m, const ReciprocalSet& rs, int endMember, double P, double T);

// The model and end-member (both 1-based) that a phase stands for: the
// first end-member, in model and end-member order, whose name equals the
// phase name up to its first blank.  False when there is none.
bool endMemberOfPhase(const SolutionModelSet& set, std::string_view phaseName, int& model, int& endMember);
// The reciprocal set (1-based) owned by model `model`, 0 when none.
int reciprocalSetOf(const SolutionModelSet& set, int model);

// "**ERROR** X=0 for cation#c on site#s of NAME": c and s are the position
// and site of EndMemberActivity::lowCation, '?' when there is none.
std::string vanishingActivityMessage(const SolutionModel& m, int endMember, const EndMemberActivity& a);

// One line of the activity listing, layout (A4,1X,A20,2F7.1,F9.3,F9.5,F13.1):
// model abbreviation, end-member name, P (bar), T - 273.15 (C), gamma, the
// ideal activity (the full activity for "PLAG"), and RT ln a (J/mol).
std::string activityListingLine(const SolutionModel& m, int endMember, double P, double T,
                                const EndMemberActivity& a);

}  // namespace model
