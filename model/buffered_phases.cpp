// Extra Gibbs energy of the special phases: the calcite correction, the
// alumina content of orthopyroxene buffered by garnet or by spinel and
// olivine, the hydration of cordierite and the iron deficit of pyrrhotite in
// equilibrium with sulfur gas.  Each solves for its composition at the point
// instead of taking it from a solution model.
//
// Units: P bar, T kelvin, energies J/mol.
#include <algorithm>
#include <cmath>

#include "model/gibbs.hpp"
#include "model/water.hpp"

namespace model {
namespace {


constexpr double kHalfR = 4.15715;  // R / 2 as the orthopyroxene and pyrrhotite terms use it

// The alumina buffers look only at phases with more than this in the reaction.
constexpr double kBufferTakesPart = 0.01;

// Cordierite hydration: Mg-cordierite + H2O = hydrous cordierite, in calories.
constexpr double kCalorie = 4.184;
constexpr double kCrdGasConstant = 1.9872599840164185;  // cal/(mol K)
constexpr double kCrdDeltaV = 0.5511487456356812;       // cal/bar
constexpr double kCrdLnTr = 5.697596695097823;
constexpr double kCrdInvSqrtTr = 0.057913871424224266;
constexpr double kCrdSqrtTr = 17.267020411654247;
constexpr double kCrdTr2 = 88893.41886047367;
constexpr double kCrdInvTr = 0.0033540165033415802;

// Pyrrhotite Fe(1-y)S: the search for the vacancy fraction y.
constexpr double kPoStart = 0.001;
constexpr double kPoFirstStep = 0.01;
constexpr double kPoResidual = 0.01;        // J/mol
constexpr double kPoSmallestStep = 1e-6;
constexpr double kPoLowest = 1e-6;          // y is kept in [1e-6, 0.999]
constexpr double kPoHighest = 0.999;
constexpr double kPoStoichiometric = 1e-4;  // below this y the term is 0
// The search moves at most 100 steps up, then needs about two per halving
// of the step; this bound only guards against a residual that is not a number.
constexpr int kPoMaxIterations = 1000;
constexpr double kPoTransition = 593.15;  // K
constexpr double kPoThermalVolume = 9.380700794281438e-05;

// ln(1 + e^u) without overflow.
double softplus(double u) { return u > 0.0 ? u + std::log1p(std::exp(-u)) : std::log1p(std::exp(u)); }

double calciteTerm(double T) { return kR * T * (157.45 / T - 0.2533); }

// Orthopyroxene with garnet (pyrope) or with spinel and forsterite: the
// alumina of the pyroxene lowers the activity of its enstatite component.
double aluminousEnstatite(const GibbsEvaluator& e, const ReactionTerms* reaction, double P, double T) {
    if (reaction == nullptr || e.table == nullptr) return 0.0;
    const ReactionTerms& rx = *reaction;
    const int count = std::min(rx.count, kMaxReactionPhases);
    unsigned char present = 0;
    for (int j = 0; j < count; ++j) {
        const std::size_t js = static_cast<std::size_t>(j);
        if (!(std::fabs(rx.coef[js]) > kBufferTakesPart)) continue;
        const PhaseRecord& p = (*e.table)[rx.phase[js]];
        if (p.kind == kMineral) present |= p.nameFlags;
    }
    const double RT = kR * T;
    if (present & kNamePyrope) {
        const double K =
            std::exp((19.0 * std::pow(T, 1.2) + 5510.0 - 88.91 * T + P * (1.66e-6 * P - 0.832 - 8.78e-5 * (T - 298.0))) /
                     RT);
        if (!(K <= 0.25)) return 0.0;
        const double x = 1.0 - (1.0 - std::sqrt(1.0 - 4.0 * K)) / 2.0;
        return x > 0.0 ? kHalfR * T * std::log(x) : 0.0;
    }
    // Both buffer phases must be there: two spinels without an olivine do not
    // fix the alumina.
    if ((present & kNameSpinel) && (present & kNameForsterite)) {
        const double K = std::exp(((13.42 - 0.18 * std::sqrt(T)) * T - 29190.0 -
                                   P * (0.013 - 6.6e-7 * P + 3.34e-5 * (T - 298.0))) /
                                  RT);
        const double x = 1.0 - K / (K + 1.0);
        return x > 0.0 ? kHalfR * T * std::log(x) : 0.0;
    }
    return 0.0;
}

// Water content x = K / (1 + K) of cordierite from the hydration equilibrium
// with pure water; returns ln x and ln(1 - x) formed without overflow.
struct CordieriteWater {
    double lnK, lnX, lnOneMinusX;
};

CordieriteWater cordieriteWater(GibbsEvaluator& e, const PointState& at, double P, double T) {
    // The Haar water energy (with the high-pressure correction above
    // 10 kbar), whatever water routine the run uses for its fluid.
    const WaterCache& water = e.fluidCache.water.at(P, T);
    if (!water.state.usable) ReportRangeEvent(e, at, RangeSource::HaarWater);
    const double Gw = water.gibbsHaar;
    const double sqrtT = std::sqrt(T);
    const double A = (-156.6649932861328 - 270.73858642578125 * (std::log(T) - kCrdLnTr) +
                      0.009046000428497791 * (T - kTr) - 19267.53515625 * (1.0 / sqrtT - kCrdInvSqrtTr)) *
                         T +
                     133752.0 * (std::log(T / kTr) + 1.0 - T / kTr) + 270.73858642578125 * (T - kTr) - 563493.8125 -
                     0.004523000214248896 * (T * T - kCrdTr2) - 4076072.0 * (1.0 / T - T / kCrdTr2) +
                     8152144.0 * (1.0 / T - kCrdInvTr) - 19267.53515625 * (sqrtT - kCrdSqrtTr);
    const double lnK =
        -0.5 * (A / kCalorie + kCrdDeltaV * (P - 1.0) - 2.0 * Gw / kCalorie) / (kCrdGasConstant * T);
    const double lnOnePlusK = softplus(lnK);
    return CordieriteWater{lnK, lnK - lnOnePlusK, -lnOnePlusK};
}

// The sulfur-gas phase of the reaction (its index), or -1.
int sulfurGasOf(const GibbsEvaluator& e, const ReactionTerms* reaction) {
    if (reaction == nullptr || e.table == nullptr) return -1;
    const ReactionTerms& rx = *reaction;
    const int count = std::min(rx.count, kMaxReactionPhases);
    for (int j = 0; j < count; ++j) {
        const std::size_t js = static_cast<std::size_t>(j);
        if (!(std::fabs(rx.coef[js]) > kTakesPart)) continue;
        const PhaseRecord& p = (*e.table)[rx.phase[js]];
        if (p.nameFlags & kNameSulfurGas) return rx.phase[js];
    }
    return -1;
}

// Pyrrhotite at the sulfur fugacity of the reaction's sulfur gas.
double pyrrhotite(const GibbsEvaluator& e, const PointState& at, const ReactionTerms* reaction, double P, double T,
                  SpecialPhase which) {
    const int gas = sulfurGasOf(e, reaction);
    if (gas < 0) return 0.0;
    const PyrrhotiteComposition c = pyrrhotiteComposition(P, T, at.logActivity[static_cast<std::size_t>(gas)]);
    // A vacancy fraction below 1e-4 counts as stoichiometric FeS.
    if (c.y < kPoStoichiometric) return 0.0;
    const double y = c.y, RT = kR * T;
    return which == SpecialPhase::Pyrrhotite ? c.W * y * y + RT * std::log(1.0 - y)
                                             : c.W * (1.0 - y) * (1.0 - y) + RT * std::log(y);
}

}  // namespace

PyrrhotiteComposition pyrrhotiteComposition(double P, double T, double logFS2) {
    const double f = logFS2;
    const double W = -185151.0 - 26.273 * T;
    const double T1 = std::min(T, kPoTransition);
    const double dP = P - 1.0;
    const double E = T > kPoTransition ? (T - kPoTransition) * kPoThermalVolume * dP : 0.0;
    const double Z = (113.694 - f * 2.303 * kHalfR) * T + E + 49229.0 +
                     (1.0 + 1.16e-4 * (T1 - kTr)) * 1.3206 * dP - 1.58472e-6 * 0.5 * dP * dP;
    const double RT = kR * T;
    const auto g = [&](double y) { return -W * (1.0 - y) * (1.0 - y) - RT * std::log(y); };

    double y = kPoStart;
    double step = kPoFirstStep;
    double direction = 1.0;
    bool previousPositive = true;
    for (int iteration = 0; iteration < kPoMaxIterations; ++iteration) {
        if (y < kPoStoichiometric) break;
        const double r = g(y) - Z;
        if (std::fabs(r) < kPoResidual) break;
        const bool positive = r > 0.0;
        if (positive != previousPositive) {
            direction = -direction;
            step /= 2.0;
            if (step < kPoSmallestStep) break;
        }
        previousPositive = positive;
        y += direction * step;
        if (y < kPoLowest || y >= 1.0) {
            y = std::clamp(y, kPoLowest, kPoHighest);
            break;
        }
    }
    return PyrrhotiteComposition{y, 1.0 - y, W};
}

double SpecialPhaseGibbs(GibbsEvaluator& e, const PointState& at, double P, double T, SpecialPhase which,
                         const ReactionTerms* reaction) {
    switch (which) {
        case SpecialPhase::Calcite: return calciteTerm(T);
        case SpecialPhase::AlEnstatite: return aluminousEnstatite(e, reaction, P, T);
        case SpecialPhase::Cordierite: return kR * T * 2.0 * cordieriteWater(e, at, P, T).lnOneMinusX;
        case SpecialPhase::HydCordierite: return kR * T * 2.0 * cordieriteWater(e, at, P, T).lnX;
        case SpecialPhase::Pyrrhotite:
        case SpecialPhase::PyrrhotiteVacancy: return pyrrhotite(e, at, reaction, P, T, which);
        case SpecialPhase::None: break;
    }
    return 0.0;
}

}  // namespace model
