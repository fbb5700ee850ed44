#include "model/aqueous.hpp"

#include <cmath>

#include "model/gibbs.hpp"

namespace model {
namespace {

constexpr double kThetaDefault = 228.0;  // K, Tanger species whose data give 0
constexpr double kPsiDefault = 2600.0;   // bar
constexpr double kHelgesonBornReference = 0.012743723716069836;  // 1/78.47
constexpr double kHelgesonOmegaSlope = 5.808e-05;
constexpr double kWaterMolarMass = 18.0152;  // g/mol

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
    // Horner in rho inside Horner in TK.
    double eps = 0.0;
    for (int i = 4; i >= 0; --i) {
        double row = 0.0;
        for (int j = 4 - i; j >= 0; --j) row = row * rho + kDielectric[i][j];
        eps = eps * TK + row;
    }
    return eps;
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

double electronPotential(const PhaseRecord& p, double TK, double P) { return 0.5 * StandardStateGibbs(p, P, TK); }

AqueousWater aqueousWaterAt(WaterCache& cache, double TK, double P) {
    const WaterCache& w = cache.at(P, TK);
    AqueousWater out;
    out.rho = kWaterMolarMass / w.state.V;
    out.eps = waterDielectricConstant(TK, out.rho);
    out.usable = w.state.usable;
    return out;
}

double AqueousGibbs(GibbsContext& ctx, int index) {
    if (ctx.table == nullptr || index < 0 || index >= ctx.table->count || index >= kMaxPhases) return 0.0;
    const PhaseRecord& p = (*ctx.table)[index];
    if (p.kind != kAqueousHelgeson && p.kind != kAqueousTanger) return 0.0;
    const double TK = ctx.point.t + kKelvinSingle;
    const double P = ctx.point.P;
    double g;
    if (isElectronName(p.name)) {
        g = electronPotential(p, TK, P);
    } else {
        const AqueousWater w = aqueousWaterAt(ctx.fluidCache.water, TK, P);
        if (!w.usable) ReportRangeEvent(ctx, RangeSource::HaarWater);
        if (w.rho < kAqueousDensityLimit && ctx.events != nullptr)
            ctx.events->report(RangeEvent{RangeSource::AqueousLowDensity, ctx.point.t, P, index, w.rho});
        // The Tanger form is the standard state alone: its activity is added
        // here, as every other route includes it.
        g = p.kind == kAqueousHelgeson ? aqueousPotentialHelgeson(p, TK, P, w.eps, p.logActivity)
                                       : aqueousPotentialTanger(p, TK, P, w.eps) + kRLn10 * TK * p.logActivity;
    }
    if (!std::isfinite(g)) ReportRangeEvent(ctx, RangeSource::PhaseEnergy, index);
    return g;
}

double ChemicalPotential(GibbsContext& ctx, int index) {
    if (ctx.table == nullptr || index < 0 || index >= ctx.table->count || index >= kMaxPhases) return 0.0;
    return (*ctx.table)[index].kind >= 0 ? PhaseGibbs(ctx, index) : AqueousGibbs(ctx, index);
}

double ReactionGibbsBySpecies(GibbsContext& ctx) {
    double sum = 0.0;
    if (ctx.table != nullptr && ctx.reaction != nullptr) {
        const ReactionTerms& rx = *ctx.reaction;
        const int count = rx.count < kMaxReactionPhases ? rx.count : kMaxReactionPhases;
        for (int k = 0; k < count; ++k) {
            const double c = rx.coef[static_cast<std::size_t>(k)];
            if (std::fabs(c) > kTakesPart) sum += c * ChemicalPotential(ctx, rx.phase[static_cast<std::size_t>(k)]);
        }
    }
    ctx.currentReactionGibbs = sum;
    return sum;
}

}  // namespace model
