// Apparent Gibbs energy of a phase and of the current reaction.
//
// G = fluid term + activity term + disorder (or albite ordering) + special
// phase + solution model + lambda transitions + H - T S + the heat-capacity
// integrals + the volume integral + V0 (P - 1), summed in that order.  The
// reaction form sums the database values over the reaction first (H, S, V0,
// K0..K6 times the coefficients) and adds only the per-phase terms phase by
// phase.
#include "model/gibbs.hpp"

#include <algorithm>
#include <cmath>

namespace model {
namespace {


// Functions of the reference temperature, as the routines use them.
constexpr double kLnTr = 5.697596715569115;
constexpr double kSqrtTr = 17.267020588393354;
constexpr double kInvSqrtTr = 0.05791387083143839;
constexpr double kTr2 = 88893.42249999999;
constexpr double kTr3 = 26503573.918374993;
constexpr double kInvTr = 0.0033540164346805303;
constexpr double kInvTr2 = 1.1249426244107095e-05;
constexpr double kInvTr3 = 3.773076050346167e-08;

constexpr double kAbsentGibbs = 1000000.0;   // a fluid species missing from the fluid
constexpr double kAbsentFraction = 1e-10;    // below this mole fraction a species is absent
// In the reaction form a missing species stays in with this activity factor
// (1e-30 in single precision).
constexpr double kTraceActivity = static_cast<double>(1e-30f);
constexpr double kKindCoefMin = 1e-10;  // a fluid kind takes part above this summed coefficient

// Lambda anomaly: no heat-capacity integral below 298.15 K (single precision).
constexpr double kLambdaCutoff = static_cast<double>(298.15f);

// Beta-quartz above 848 K + 0.023743 K/bar (P - 1): alpha-quartz data plus
// these increments, with its own compressibility terms.
constexpr double kBetaQuartzT = 848.0;
constexpr double kBetaQuartzSlope = static_cast<double>(0.023743f);  // 0.023742999881505966
constexpr double kBetaQuartzV3 = static_cast<double>(-1.23826e-06f);  // -1.2382599834381836e-06
constexpr double kBetaQuartzV4 = 7.087099788083905e-16;
constexpr double kBetaQuartzH = static_cast<double>(2073.18f);        // 2073.179931640625
constexpr double kBetaQuartzS = static_cast<double>(2.7468f);         // 2.746799945831299
constexpr double kBetaQuartzV0 = static_cast<double>(0.101f);         // 0.10100000351667404

// The albite ordering model (Landau, Salje et al. 1985).
constexpr double kAlbiteTop = 1290.0;  // no ordering at and above
constexpr double kAlbiteA = 5.479;     // displacive: (1/2) a (T - Tc) Q^2
constexpr double kAlbiteTc = 1251.0;
constexpr double kAlbiteB = 6854.0;    // (1/4) b Q^4
constexpr double kAlbiteC = 41.62;     // Al-Si order: (1/2) c (T - Tod) Qod^2
constexpr double kAlbiteTod = 824.1;
constexpr double kAlbiteD = 9301.0;    // -(1/4) d Qod^4
constexpr double kAlbiteE = 43600.0;   // (1/6) e Qod^6
constexpr double kAlbiteVolumeDivisor = 335282.925;
// Search thresholds, single precision.
constexpr double kAlbiteQFloor = static_cast<double>(1e-5f);
constexpr double kAlbiteQReset = static_cast<double>(1e-4f);
constexpr double kAlbiteStepMin = static_cast<double>(1e-4f);
constexpr double kAlbiteSameSign = static_cast<double>(0.001f);
constexpr int kAlbiteMaxEvaluations = 30;

// Functions of T needed by the heat-capacity integrals, formed once per call.
struct TemperatureTerms {
    double T, dT, lnT, sqrtT, invSqrtT, invT, invT2, invT3, T2, T3;
};

TemperatureTerms temperatureTerms(double T) {
    TemperatureTerms t;
    t.T = T;
    t.dT = T - kTr;
    t.lnT = std::log(T);
    t.sqrtT = std::sqrt(T);
    t.invSqrtT = 1.0 / t.sqrtT;
    t.invT = 1.0 / T;
    t.invT2 = t.invT * t.invT;
    t.invT3 = t.invT2 * t.invT;
    t.T2 = T * T;
    t.T3 = t.T2 * T;
    return t;
}

// Functions of P for the volume integral: P - 1, (P - 1)^2 / 2 and (P - 1)^3 / 3,
// the last two expanded in powers of P.
struct PressureTerms {
    double P, dP, halfDP2, thirdDP3;
};

PressureTerms pressureTerms(double P) {
    PressureTerms p;
    p.P = P;
    p.dP = P - 1.0;
    const double P2 = P * P;
    p.halfDP2 = P2 / 2.0 + 0.5 - P;
    p.thirdDP3 = P2 * P / 3.0 - 1.0 / 3.0 - P2 + P;
    return p;
}

// Integral of Cp dT - T times the integral of Cp/T dT from Tr to T, K0..K6.
double heatCapacityPart(const std::array<double, 7>& K, const TemperatureTerms& t) {
    const double T = t.T;
    const double lnRatio = t.lnT - kLnTr;
    double g = K[0] * (t.dT - T * lnRatio);
    g += 2.0 * K[1] * (t.sqrtT - kSqrtTr) + 2.0 * K[1] * T * (t.invSqrtT - kInvSqrtTr);
    g += -K[2] * (t.invT - kInvTr) + 0.5 * K[2] * T * (t.invT2 - kInvTr2);
    g += -0.5 * K[3] * (t.invT2 - kInvTr2) + K[3] / 3.0 * T * (t.invT3 - kInvTr3);
    g += K[4] * (lnRatio + 1.0 - T * kInvTr);
    g += 0.5 * K[5] * (t.T2 - kTr2) - K[5] * T * t.dT;
    g += K[6] / 3.0 * (t.T3 - kTr3) - 0.5 * K[6] * T * (t.T2 - kTr2);
    return g;
}

// Volume integral from 1 bar to P without the V0 (P - 1) term.
double volumeIntegral(const PhaseRecord& p, double dT, const PressureTerms& pt) {
    return (p.V[1] + p.V[2] * dT) * dT * pt.dP + p.V[3] * pt.halfDP2 + p.V[4] * pt.thirdDP3;
}

// Heat-capacity disorder between TMIN and min(T, TMAX); S times the actual T.
double heatCapacityDisorder(const DisorderRecord& d, double P, double T) {
    if (T < d.TMIN) return 0.0;
    const double t1 = d.TMIN;
    const double t2 = std::min(T, d.TMAX);
    // A record without a positive temperature range has nothing to integrate.
    if (!(t1 > 0.0) || !(t2 > 0.0)) return 0.0;
    const auto& D = d.D;
    const double sq1 = std::sqrt(t1), sq2 = std::sqrt(t2);
    const double lnRatio = std::log(t2 / t1);
    const double H = D[0] * (t2 - t1) + 2.0 * D[1] * (sq2 - sq1) - D[2] * (1.0 / t2 - 1.0 / t1) + D[4] * lnRatio +
                     0.5 * D[5] * (t2 * t2 - t1 * t1) + D[6] / 3.0 * (t2 * t2 * t2 - t1 * t1 * t1);
    const double S = D[0] * lnRatio - 2.0 * D[1] * (1.0 / sq2 - 1.0 / sq1) -
                     0.5 * D[2] * (1.0 / (t2 * t2) - 1.0 / (t1 * t1)) - D[4] * (1.0 / t2 - 1.0 / t1) +
                     D[5] * (t2 - t1) + 0.5 * D[6] * (t2 * t2 - t1 * t1);
    const double V = d.VDIS != 0.0 ? H / d.VDIS : 0.0;
    return H - T * S + (P - 1.0) * V;
}

bool selectsAlbiteOrdering(const DisorderRecord& d) {
    return std::fabs(d.D[0]) < 0.001 && std::fabs(d.D[1]) < 0.001;
}

bool hasLambda(const PhaseRecord& p) { return p.lambda[0] != 0 || p.lambda[1] != 0 || p.lambda[2] != 0; }

// The disorder record of a phase, or null when it has none or the number is
// outside the table.
const DisorderRecord* disorderRecordOf(const PhaseTable& table, const PhaseRecord& p) {
    if (p.disorder <= 0 || p.disorder > table.disorderCount || p.disorder > kMaxDisorderRecords)
        return nullptr;
    return &table.disorderOf(p);
}

// One lambda transition at (P bar, T K).
double lambdaTerm(const LambdaRecord& L, double P, double T) {
    const double dP = P - 1.0;
    const double Tlambda = L.TTRAN + L.SLOPE * dP;
    const double d = L.TTRAN - Tlambda;
    const double lower = L.TREF - d;
    const double upper = std::min(T, Tlambda);
    double H = 0.0, S = 0.0;
    // The anomaly range must lie at positive temperatures for the integrals
    // (a transition line driven below 0 K contributes no anomaly).
    if (!(upper + d < kLambdaCutoff) && upper > 0.0 && lower > 0.0) {
        // Cp = (u + d)(l1 + l2 (u + d))^2 = c0 + c1 u + c2 u^2 + c3 u^3
        const double l1 = L.ASPIKE, l2 = L.BSPIKE;
        const double a = l1 + l2 * d;
        const double c0 = d * a * a;
        const double c1 = l1 * l1 + 4.0 * l1 * l2 * d + 3.0 * l2 * l2 * d * d;
        const double c2 = 2.0 * l1 * l2 + 3.0 * l2 * l2 * d;
        const double c3 = l2 * l2;
        const double u1 = lower, u2 = upper;
        const double d1 = u2 - u1;
        const double d2 = u2 * u2 - u1 * u1;
        const double d3 = u2 * u2 * u2 - u1 * u1 * u1;
        const double d4 = u2 * u2 * u2 * u2 - u1 * u1 * u1 * u1;
        H = c0 * d1 + c1 / 2.0 * d2 + c2 / 3.0 * d3 + c3 / 4.0 * d4;
        S = c0 * std::log(u2 / u1) + c1 * d1 + c2 / 2.0 * d2 + c3 / 3.0 * d3;
    }
    double G = H - upper * S;
    if (T > Tlambda) {
        const double stepEntropy = L.TTRAN != 0.0 ? L.HTRANS / L.TTRAN : 0.0;
        G -= (T - Tlambda) * (stepEntropy + S);
    }
    const double halfDP2 = (P * P - 1.0) / 2.0 - dP;
    G += halfDP2 * L.DVDP + dP * L.DVDT * (upper - kTr);
    return G;
}

// The solution-model terms of an end-member.
inline double solutionTerms(const GibbsEvaluator& e, const PhaseRecord& p, double P, double T) {
    if (e.models == nullptr || (p.activityModel == 0 && p.reciprocalSet == 0)) return 0.0;
    double g = 0.0;
    if (p.activityModel != 0)
        g += endMemberActivityTerm(*e.models, P, T, p.activityModel, p.activityEndMember);
    if (p.reciprocalSet != 0)
        g += reciprocalTerm(*e.models, P, T, p.activityModel, p.activityEndMember, p.reciprocalSet);
    return g;
}

// A reaction energy that is not finite: the phase to blame is the first one
// whose own energy is not finite (PhaseGibbs reports it), else the one of
// largest energy (its values overflow the sum).  Rare: every phase is
// evaluated again.
void reportReactionPhase(GibbsEvaluator& e, const PointState& at, const ReactionTerms& rx) {
    if (e.events == nullptr) return;
    const int count = std::min(rx.count, kMaxReactionPhases);
    int largest = -1;
    double largestG = -1.0;
    for (int j = 0; j < count; ++j) {
        const int i = rx.phase[static_cast<std::size_t>(j)];
        const double g = PhaseGibbs(e, at, i, &rx);
        if (!std::isfinite(g)) return;  // reported by PhaseGibbs
        if (std::fabs(g) > largestG) {
            largestG = std::fabs(g);
            largest = i;
        }
    }
    if (largest >= 0) ReportRangeEvent(e, at, RangeSource::PhaseEnergy, largest);
}

}  // namespace

AlbiteOrder albiteOrdering(double T) {
    AlbiteOrder r;
    if (T >= kAlbiteTop) return r;
    const double a = kAlbiteA * (T - kAlbiteTc);
    const double c = kAlbiteC * (T - kAlbiteTod);
    const double lam = -2.171 - 3.043 * T - 0.001569 * T * T + 2.109e-6 * T * T * T;  // coupling, J/mol
    if (lam == 0.0) return r;
    // dG/dQ = 0 ties the Al-Si order to the displacive order.
    auto orderOf = [&](double Q) { return Q * (-a - kAlbiteB * Q * Q) / lam; };
    // F(Q) = -dG/dQod with Qod(Q) substituted: negative above the ordered
    // root, which is where the search starts (previous value -1).
    auto F = [&](double Q) {
        const double z = orderOf(Q);
        const double z2 = z * z;
        return -(c * z - kAlbiteD * z2 * z + kAlbiteE * z2 * z2 * z + lam * Q);
    };

    // Step down from above the root while F keeps its sign; on a change of
    // sign step back by half the step.
    double Q0 = T < 1100.0 ? 1.1 : 0.6;
    double step = 0.1;
    double Fprev = -1.0;
    double Q = Q0;
    int evaluations = 0;
    bool stepDown = true;
    for (;;) {
        if (stepDown) {
            Q = Q0 - step;
            if (Q < kAlbiteQFloor) Q = kAlbiteQReset;
        }
        const double f = F(Q);
        ++evaluations;
        if (std::fabs(Q - Q0) < kAlbiteStepMin || evaluations > kAlbiteMaxEvaluations) break;
        if (Fprev * f >= kAlbiteSameSign) {
            Fprev = f;
            Q0 = Q;
            stepDown = true;
        } else {
            step /= 2.0;
            Q += step;
            stepDown = false;
        }
    }

    const double Qod = orderOf(Q);
    const double Q2 = Q * Q, z2 = Qod * Qod;
    r.Q = Q;
    r.Qod = Qod;
    r.evaluations = evaluations;
    r.G = 0.5 * a * Q2 + 0.25 * kAlbiteB * Q2 * Q2 + 0.5 * c * z2 - 0.25 * kAlbiteD * z2 * z2 +
          kAlbiteE / 6.0 * z2 * z2 * z2 + lam * Q * Qod;
    r.S = -(2.7395 * Q2 + 20.81 * z2 + (-3.043 - 0.003138 * T + 6.327e-6 * T * T) * Q * Qod);
    r.H = r.G + T * r.S;
    return r;
}

double DisorderGibbs(const DisorderRecord& d, double P, double T) {
    if (selectsAlbiteOrdering(d)) {
        if (T >= kAlbiteTop) return 0.0;
        const AlbiteOrder o = albiteOrdering(T);
        return o.H - T * o.S + (P - 1.0) * o.H / kAlbiteVolumeDivisor;
    }
    return heatCapacityDisorder(d, P, T);
}

double LambdaGibbs(const PhaseTable& table, const PhaseRecord& phase, double P, double T) {
    double g = 0.0;
    for (const int n : phase.lambda) {
        if (n <= 0 || n > table.lambdaCount || n > kMaxLambdaRecords) continue;
        g += lambdaTerm(table.lambda(n), P, T);
    }
    return g;
}

void makeReactionTerms(const PhaseTable& table, const double* coefficients, ReactionTerms& out, const int* excluded,
                       int nExcluded) {
    out = ReactionTerms{};
    if (coefficients == nullptr) return;
    const int n = std::min(table.count, kMaxPhases);
    for (int i = 0; i < n; ++i) {
        const double c = coefficients[i];
        if (!(std::fabs(c) > kTakesPart)) continue;
        const PhaseRecord& p = table[i];
        out.phase[static_cast<std::size_t>(out.count)] = i;
        out.coef[static_cast<std::size_t>(out.count)] = c;
        ++out.count;
        out.all[static_cast<std::size_t>(i)] = c;
        if (p.kind > 0 && p.kind < kFluidKinds) out.kindCoef[static_cast<std::size_t>(p.kind)] += c;
        bool skip = false;
        for (int e = 0; excluded != nullptr && e < nExcluded; ++e) skip = skip || excluded[e] == i;
        if (skip) continue;
        out.dH += c * p.H;
        out.dS += c * p.S;
        out.dV0 += c * p.V0;
        for (std::size_t k = 0; k < out.dK.size(); ++k) out.dK[k] += c * p.K[k];
    }
}

namespace {

// The phase's energy; `asGas`: as a gas at unit fugacity, without an
// equation of state and without an activity term.
double phaseGibbs(GibbsEvaluator& e, const PointState& point, int index, const ReactionTerms* reaction, bool asGas) {
    if (e.table == nullptr || index < 0 || index >= e.table->count || index >= kMaxPhases) return 0.0;
    const PhaseTable& table = *e.table;
    const PhaseRecord& p = table[index];
    const double T = point.t + kKelvinSingle;
    const double P = point.P;

    // 1. Fluid species: its state from the equations of state.
    double G = 0.0;
    if (!asGas && isFluidSpecies(p.kind, point.otherGases)) {
        const double x = p.kind < kFluidKinds ? point.x[static_cast<std::size_t>(p.kind)] : 0.0;
        if (x < kAbsentFraction) return kAbsentGibbs;
        const FluidState f = FluidProperties(e, point, p.kind, 0);
        if (p.kind == kWater && point.fluid.water == 1)
            G = kR * T * std::log(f.activity) + f.gibbs;
        else
            G = kR * T * std::log(f.phi * P * f.activity);
    }
    // 2. Fixed activity (or fugacity).
    if (!asGas) G += kRLn10 * T * point.logActivity[static_cast<std::size_t>(index)];
    // 3. Disorder or albite ordering.
    if (const DisorderRecord* d = disorderRecordOf(table, p)) G += DisorderGibbs(*d, P, T);
    // 4. Special phases.
    if (p.special != SpecialPhase::None) G += SpecialPhaseGibbs(e, point, P, T, p.special, reaction);
    // 5. Solution-model terms.
    G += solutionTerms(e, p, P, T);
    // 6. Lambda transitions.
    if (hasLambda(p)) G += LambdaGibbs(table, p, P, T);
    // 7. Standard state at 1 bar plus the volume integral; 8. V0 (P - 1).
    const TemperatureTerms t = temperatureTerms(T);
    const PressureTerms pt = pressureTerms(P);
    G += (p.H - p.S * T + heatCapacityPart(p.K, t)) + volumeIntegral(p, t.dT, pt);
    G += p.V0 * pt.dP;
    if (!std::isfinite(G)) ReportRangeEvent(e, point, RangeSource::PhaseEnergy, index);
    return G;
}

}  // namespace

double PhaseGibbs(GibbsEvaluator& e, const PointState& at, int index, const ReactionTerms* reaction) {
    return phaseGibbs(e, at, index, reaction, false);
}

double PhaseGibbsAsGas(GibbsEvaluator& e, const PointState& at, int index, const ReactionTerms* reaction) {
    return phaseGibbs(e, at, index, reaction, true);
}

double ReactionGibbs(GibbsEvaluator& e, const PointState& point, const ReactionTerms& rx) {
    if (e.table == nullptr) return 0.0;
    const PhaseTable& table = *e.table;
    const double T = point.t + 273.15;
    const double P = point.P;
    const double RT = kR * T;
    const bool haarWater = point.fluid.water == 1;
    const int count = std::min(rx.count, kMaxReactionPhases);

    // 1. Fluid states, once per kind in the reaction, in increasing kind.
    bool anyFluid = false;
    for (int j = 0; j < count; ++j) anyFluid = anyFluid || table[rx.phase[static_cast<std::size_t>(j)]].kind > 0;
    std::array<double, kFluidKinds> phiP, activity, gibbs;
    phiP.fill(1.0);
    activity.fill(1.0);
    gibbs.fill(0.0);
    int evaluated = 0;
    for (int k = 1; anyFluid && k < kFluidKinds; ++k) {
        const std::size_t ks = static_cast<std::size_t>(k);
        if (!(std::fabs(rx.kindCoef[ks]) > kKindCoefMin) || !isFluidSpecies(k, point.otherGases)) continue;
        const FluidState f = FluidProperties(e, point, k, evaluated);
        ++evaluated;
        phiP[ks] = f.phi * P;
        activity[ks] = f.activity;
        gibbs[ks] = f.gibbs;
        if (point.x[ks] < kTraceActivity) activity[ks] = kTraceActivity;
    }

    const TemperatureTerms t = temperatureTerms(T);
    const PressureTerms pt = pressureTerms(P);
    const bool betaQuartzField = T > kBetaQuartzT + kBetaQuartzSlope * pt.dP;
    double sum = 0.0;
    double betaH = 0.0, betaS = 0.0, betaV0 = 0.0;

    // 2-3. Per-phase terms of the condensed phases.
    for (int j = 0; j < count; ++j) {
        const std::size_t js = static_cast<std::size_t>(j);
        const PhaseRecord& p = table[rx.phase[js]];
        if (p.kind != kMineral) continue;
        const double c = rx.coef[js];
        const bool beta = p.isQuartz && betaQuartzField;
        double g;
        if (beta) {
            g = kBetaQuartzV3 * pt.halfDP2 + kBetaQuartzV4 * pt.thirdDP3;
            betaH += c * kBetaQuartzH;
            betaS += c * kBetaQuartzS;
            betaV0 += c * kBetaQuartzV0;
        } else {
            g = volumeIntegral(p, t.dT, pt);
        }
        if (const DisorderRecord* d = disorderRecordOf(table, p)) g += DisorderGibbs(*d, P, T);
        if (p.special != SpecialPhase::None) g += SpecialPhaseGibbs(e, point, P, T, p.special, &rx);
        g += solutionTerms(e, p, P, T);
        if (!beta && hasLambda(p)) g += LambdaGibbs(table, p, P, T);
        sum += c * g;
    }

    // 4. Fluid species: a species missing from the fluid stays in at a trace activity.
    for (int j = 0; evaluated > 0 && j < count; ++j) {
        const std::size_t js = static_cast<std::size_t>(j);
        const PhaseRecord& p = table[rx.phase[js]];
        if (!isFluidSpecies(p.kind, point.otherGases) || p.kind >= kFluidKinds) continue;
        const std::size_t ks = static_cast<std::size_t>(p.kind);
        if (!(std::fabs(rx.kindCoef[ks]) > kKindCoefMin)) continue;
        const double c = rx.coef[js];
        if (p.kind == kWater && haarWater)
            sum += c * (RT * std::log(activity[ks]) + gibbs[ks]);
        else
            sum += c * RT * std::log(phiP[ks] * activity[ks]);
    }

    // 5. Fixed activities.
    for (int j = 0; j < count; ++j) {
        const std::size_t js = static_cast<std::size_t>(j);
        const double logActivity = point.logActivity[static_cast<std::size_t>(rx.phase[js])];
        if (logActivity != 0.0) sum += rx.coef[js] * kRLn10 * T * logActivity;
    }

    // 6. The reaction sums.
    const double dG = sum + (rx.dH + betaH) + heatCapacityPart(rx.dK, t) - T * (rx.dS + betaS) +
                      (rx.dV0 + betaV0) * pt.dP;
    if (!std::isfinite(dG)) reportReactionPhase(e, point, rx);
    return dG;
}

}  // namespace model
