#include "model/aqueous.hpp"

#include <cmath>

#include "core/polynomial.hpp"

namespace model {
namespace {

constexpr double kKelvinAqueous = 273.1499938964844;  // 273.15 in single precision
constexpr double kWaterMolarMass = 18.0152;  // g/mol
constexpr double kThetaDefault = 228.0;      // K, Tanger species whose data give 0
constexpr double kPsiDefault = 2600.0;       // bar
constexpr double kHelgesonBornReference = 0.012743723716069836;  // 1/78.47
constexpr double kHelgesonOmegaSlope = 5.808e-05;

// Dielectric constant of water: sum of C[i][j] TK^i rho^j over i + j <= 4.
constexpr double kDielectric[5][5] = {
    {439.109592, -218.995148, 18.2898246, 154.8868, -61.3542375},
    {-2.33277456, 1.00498361, -0.208896146, -0.0613941874, 0.0},
    {0.00461662109, -0.00135650617, 0.000160491325, 0.0, 0.0},
    {-4.03643333e-06, 5.94046919e-07, 0.0, 0.0, 0.0},
    {1.31604037e-09, 0.0, 0.0, 0.0, 0.0},
};

}  // namespace

double waterDielectricConstant(double TK, double rho) {
    // kDielectric[i][j] multiplies TK^i rho^j.
    return core::triangularPolynomial(kDielectric, TK, rho);
}

double aqueousPotentialTanger(const PhaseRecord& p, double TK, double P, double eps) {
    const double theta = p.K[0] != 0.0 ? p.K[0] : kThetaDefault;
    const double psi = p.K[4] != 0.0 ? p.K[4] : kPsiDefault;
    const double c1 = p.K[5], c2 = p.K[2], omega = p.K[1];
    const double a1 = p.V[1], a2 = p.V[2], a3 = p.V[3], a4 = p.V[4];
    const double dP = P - 1.0;
    const double L = std::log((psi + P) / (psi + 1.0));
    return p.H - TK * p.S + c1 * (TK - kTr) - c1 * TK * std::log(TK / kTr) + a1 * dP + a2 * L +
           (a3 * dP + a4 * L) / (TK - theta) + c2 / theta + c2 * (theta - TK) / (theta * (kTr - theta)) +
           c2 * (TK / (theta * theta)) * std::log(kTr * (TK - theta) / (TK * (kTr - theta))) +
           omega * (1.0 / eps - 1.0);
}

double aqueousPotentialHelgeson(const PhaseRecord& p, double TK, double P, double eps, double logActivity) {
    const double theta = p.K[0];
    const double c1 = p.K[5], c2 = p.K[2], omega = p.K[1];
    const double a1 = p.V[1], a2 = p.V[2], a3 = p.V[3], a4 = p.V[4];
    const double dP = P - 1.0;
    const double halfP2 = (P * P - 1.0) / 2.0;
    return p.H - TK * p.S + (c1 + c2 - kHelgesonOmegaSlope * omega) * (TK - kTr) - c1 * TK * std::log(TK / kTr) -
           c2 * (TK - theta) * std::log((TK - theta) / (kTr - theta)) + a1 * dP + a2 * halfP2 +
           (a3 * dP + a4 * halfP2) * TK / (TK - theta) + omega * (1.0 / eps - kHelgesonBornReference) +
           kRLn10 * TK * logActivity;
}

bool isElectronName(const std::string& name) {
    if (name.size() < 2 || (name[0] != 'E' && name[0] != 'e') || name[1] != '-') return false;
    for (std::size_t k = 2; k < name.size(); ++k)
        if (name[k] != ' ') return false;
    return true;
}

AqueousWater aqueousWaterAt(WaterCache& cache, double TK, double P) {
    const WaterCache& w = cache.at(P, TK);
    AqueousWater out;
    out.rho = kWaterMolarMass / w.state.V;
    out.eps = waterDielectricConstant(TK, out.rho);
    out.usable = w.state.usable;
    return out;
}

double AqueousGibbs(GibbsEvaluator& e, const PointState& at, int index, const ReactionTerms* reaction) {
    if (e.table == nullptr || index < 0 || index >= e.table->count || index >= kMaxPhases) return 0.0;
    const PhaseRecord& p = (*e.table)[index];
    if (p.kind != kAqueousHelgeson && p.kind != kAqueousTanger) return 0.0;
    double g;
    if (isElectronName(p.name)) {
        // Treated as a gas kept at unit fugacity: the standard-state route
        // without any equation of state, then half of it.
        g = 0.5 * PhaseGibbsAsGas(e, at, index, reaction);
    } else {
        const double TK = at.t + kKelvinAqueous;
        const double P = at.P;
        const AqueousWater w = aqueousWaterAt(e.fluidCache.water, TK, P);
        if (!w.usable) ReportRangeEvent(e, at, RangeSource::HaarWater);
        if (w.rho < kAqueousDensityLimit && e.events != nullptr)
            e.events->report(RangeEvent{RangeSource::AqueousLowDensity, at.t, P, index, w.rho});
        const double logActivity = at.logActivity[static_cast<std::size_t>(index)];
        // The Tanger form is the standard state alone: its activity is added
        // here, as every other route includes it.
        g = p.kind == kAqueousHelgeson ? aqueousPotentialHelgeson(p, TK, P, w.eps, logActivity)
                                       : aqueousPotentialTanger(p, TK, P, w.eps) + kRLn10 * TK * logActivity;
    }
    if (!std::isfinite(g)) ReportRangeEvent(e, at, RangeSource::PhaseEnergy, index);
    return g;
}

double ChemicalPotential(GibbsEvaluator& e, const PointState& at, int index, const ReactionTerms* reaction) {
    if (e.table == nullptr || index < 0 || index >= e.table->count || index >= kMaxPhases) return 0.0;
    return (*e.table)[index].kind >= 0 ? PhaseGibbs(e, at, index, reaction) : AqueousGibbs(e, at, index, reaction);
}

double ReactionGibbsBySpecies(GibbsEvaluator& e, const PointState& at, const ReactionTerms& reaction) {
    double sum = 0.0;
    const int count = reaction.count < kMaxReactionPhases ? reaction.count : kMaxReactionPhases;
    for (int k = 0; k < count; ++k) {
        const double c = reaction.coef[static_cast<std::size_t>(k)];
        if (std::fabs(c) > kTakesPart)
            sum += c * ChemicalPotential(e, at, reaction.phase[static_cast<std::size_t>(k)], &reaction);
    }
    return sum;
}

}  // namespace model
