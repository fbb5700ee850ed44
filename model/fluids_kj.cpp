// The modified Redlich-Kwong equation of Kerrick and Jacobs (1981) for pure
// H2O, pure CO2 and their mixtures.
//
//   P = R T (1 + y + y^2 - y^3) / (V (1 - y)^3) - (c + d/V + e/V^2) / (sqrt(T) V (V + b)),
//   y = b / (4V),  R = 83.14 bar cm3/(mol K).
//
// The fugacity coefficients come from the residual Helmholtz energy of the
// equation: the hard-sphere part uses the equation's own compressibility,
// the final -ln Z the given pressure, so ln phi is not stationary in V and
// the 0.01 cm3 stopping rule of the volume search shows in the fifth digit.
//
// Below about 413 C the isotherm of water and of water-rich mixtures has a
// loop: a liquid-like and a vapour-like root at a few hundred bar.  The
// published Newton search then ends on the root its start volume leads to,
// or, where that root does not exist, between the roots, on the volume floor
// or off any root.  Such a volume is no state of the fluid: the search falls
// back on the root of lowest Gibbs energy (the stable phase).  The activity
// factors of the mixture compare the mixture and the pure fluids in their
// stable states, so that they stay between 0 and 1 and change continuously
// except where the fluid boils on the equation's own liquid-vapour curve.
#include <algorithm>
#include <cmath>

#include "model/fluids.hpp"

namespace model {
namespace {

constexpr double kR = 83.14;
constexpr double kKelvin = 273.149993896484375;  // 273.15 in single precision
constexpr double kLnPhiLimit = 100.0;

// The volume search: at most 50 Newton steps, converged when a step is below
// 0.01 cm3; each new volume is capped at 1e6 and raised to 10 when below 9.9.
constexpr int kMaxNewton = 50;
constexpr double kVolumeStep = 0.01;
constexpr double kVolumeCap = 1000000.0;
constexpr double kVolumeFloorTest = static_cast<double>(9.9f);
constexpr double kVolumeFloor = 10.0;

// The mixture rules hold only where every cross term sqrt(k_H2O k_CO2) is
// real: d of water is negative below 291 C, d of CO2 above 1083 C.
constexpr double kMixMinC = 325.0;
constexpr double kMixMaxC = 1050.0;

// Above this temperature (C), and from this pressure (bar) up, the isotherm
// of pure water and of every H2O-CO2 mixture has one root: the loop of water
// closes at about 413 C and 287 bar, and no loop reaches higher.
constexpr double kSingleRootAboveC = 415.0;
constexpr double kSingleRootFromP = 500.0;

struct PressureSlope {
    double P = 0, dPdV = 0;
};

PressureSlope mrkPressure(double V, double T, const MrkParameters& m) {
    const double y = m.b / (4.0 * V);
    const double om = 1.0 - y;
    const double om3 = om * om * om;
    const double N = 1.0 + y + y * y - y * y * y;
    const double dN = (1.0 + 2.0 * y - 3.0 * y * y) * (-y / V);
    const double D = V * om3;
    const double dD = om3 + 3.0 * om * om * y;
    const double V2 = V * V;
    const double a = m.c + m.d / V + m.e / V2;
    const double da = -m.d / V2 - 2.0 * m.e / (V2 * V);
    const double g = V * (V + m.b);
    const double dg = 2.0 * V + m.b;
    const double sqrtT = std::sqrt(T);
    PressureSlope r;
    r.P = kR * T * N / D - a / (sqrtT * g);
    r.dPdV = kR * T * (dN * D - N * dD) / (D * D) - (da * g - a * dg) / (sqrtT * g * g);
    return r;
}

// ln phi held within [-100, 100]; a value that cannot be formed counts as
// the upper limit (a species that cannot be evaluated stays out).
double clampLnPhi(double lnPhi) {
    if (std::isnan(lnPhi)) return kLnPhiLimit;
    return std::clamp(lnPhi, -kLnPhiLimit, kLnPhiLimit);
}

// Whether ln phi is a number inside the limits (not held at them).
bool withinLimit(double lnPhi) { return std::fabs(lnPhi) < kLnPhiLimit; }

// ln phi of species i in a mixture of parameters `m` at the mixture volume
// V: the derivative of n A_res / RT with respect to n_i at constant total
// volume, minus ln Z.  `bi` is the species' own b; ci, di, ei the sums
// x_i k_i + x_j sqrt(k_i k_j) of its attraction terms.
double mixtureLnPhi(double P, double T, const MrkParameters& m, double bi, double ci, double di, double ei,
                    double V) {
    const double b = m.b, c = m.c, d = m.d, e = m.e;
    const double y = b / (4.0 * V);
    const double om = 1.0 - y;
    const double L = std::log1p(b / V);
    const double K = 1.0 / (kR * T * std::sqrt(T));
    const double Z = P * V / (kR * T);
    const double b2 = b * b, b3 = b2 * b, b4 = b3 * b;
    const double V2 = V * V;
    const double hardSphere = (4.0 * y - 3.0 * y * y) / (om * om) + (bi / b) * (4.0 * y - 2.0 * y * y) / (om * om * om);
    const double termC = 2.0 * ci * L / b - c * bi * L / b2 + c * bi / (b * (V + b));
    const double termD = (2.0 * di + d) / (b * V) - d * bi / (b2 * V) - (2.0 * di + d) * L / b2 - d * bi / (b2 * (V + b)) +
                         2.0 * d * bi * L / b3;
    const double termE = (e + ei) / (b * V2) - e * bi / (2.0 * b2 * V2) - 2.0 * (e + ei) / (b2 * V) +
                         2.0 * e * bi / (b3 * V) + 2.0 * (e + ei) * L / b3 + e * bi / (b3 * (V + b)) -
                         3.0 * e * bi * L / b4;
    return hardSphere - K * (termC + termD + termE) - std::log(Z);
}

}  // namespace

MrkParameters KerrickJacobsCO2(double T) {
    MrkParameters m;
    m.b = 58.0;
    m.c = (28.31 + 0.10721 * T - 8.81e-6 * T * T) * 1e6;
    m.d = (9380.0 - 8.53 * T + 0.001189 * T * T) * 1e6;
    m.e = (-368654.0 + 715.9 * T + 0.1534 * T * T) * 1e6;
    return m;
}

MrkParameters KerrickJacobsH2O(double T) {
    MrkParameters m;
    m.b = 29.0;
    m.c = (290.78 - 0.30276 * T + 0.00014774 * T * T) * 1e6;
    m.d = (-8374.0 + 19.437 * T - 0.008148 * T * T) * 1e6;
    m.e = (76600.0 - 133.9 * T + 0.1071 * T * T) * 1e6;
    return m;
}

namespace {

// A volume and whether it is a root on a falling stretch of the isotherm.
struct VolumeResult {
    double V = 0;
    bool root = false;
};

// Newton's method as published: at most 50 steps, stopping when a step is
// below 0.01 cm3; each new volume is capped at 1e6 and raised to 10 when
// below 9.9.  A stop on a step that small where the isotherm falls is a root
// (to within the step); anything else is looked at again by the caller.
VolumeResult mrkNewton(double P, double T, const MrkParameters& m, double V0) {
    // The hard-sphere term has its pole at V = b/4 (y = 1); below it the
    // equation has no physical meaning.  For water the volume floor of 10
    // lies above the pole, but for CO2 and CO2-rich mixtures (b >= 39.6) it
    // lies below, where Newton can settle on a spurious root or stay on the
    // floor: there a step to or past the pole goes only halfway to it.
    const double pole = m.b / 4.0;
    const bool floorInsidePole = pole >= kVolumeFloorTest;
    double V = V0;
    if (floorInsidePole && !(V > pole)) V = 2.0 * pole;
    for (int i = 0; i < kMaxNewton; ++i) {
        const PressureSlope f = mrkPressure(V, T, m);
        double next = V - (f.P - P) / f.dPdV;
        // A flat or singular point gives no step: keep the volume reached.
        if (!std::isfinite(next)) break;
        if (floorInsidePole && next <= pole) {
            V = 0.5 * (V + pole);
            continue;
        }
        if (std::fabs(next - V) < kVolumeStep) return VolumeResult{next, f.dPdV < 0.0 && next > pole};
        if (next > kVolumeCap) next = kVolumeCap;
        if (next < kVolumeFloorTest) next = kVolumeFloor;
        V = next;
    }
    return VolumeResult{V, false};
}

// V is a root on a mechanically stable stretch of the isotherm (dP/dV < 0)
// when the equation's volume at P lies within a tenth of a cm3 of it.
constexpr double kRootVolumeTolerance = 0.1;

bool isStableRoot(double P, double T, const MrkParameters& m, double V) {
    if (!std::isfinite(V) || !(V > m.b / 4.0)) return false;
    const PressureSlope f = mrkPressure(V, T, m);
    return f.dPdV < 0.0 && std::fabs(f.P - P) <= -f.dPdV * kRootVolumeTolerance;
}

// The roots of P(V) = P on falling stretches of the isotherm, between the
// pole (or the volume floor, whichever is higher) and 2 R T / P + 10 b
// (beyond it the compressibility would exceed 2 at a volume where the
// equation is nearly ideal): each is bracketed on a logarithmic grid (volume
// ratio 1.2 between grid points) and refined by Newton steps kept inside the
// bracket.  Two roots that share one grid interval are missed together; they
// lie close to a spinodal, where the root left over is the stable one.  Of
// the roots found the one of lowest Gibbs energy (lowest ln phi of this
// parameter set; for a mixture that is the mole-fraction sum of its species'
// ln phi) is returned, 0 when there is none.
constexpr double kGridRatio = 1.2;
constexpr int kMaxGridIntervals = 200;
constexpr int kRefineSteps = 100;

double refineRoot(double P, double T, const MrkParameters& m, double lo, double hi) {
    // P(lo) > P >= P(hi), and P(V) falls between them.
    double V = 0.5 * (lo + hi);
    for (int k = 0; k < kRefineSteps; ++k) {
        const PressureSlope f = mrkPressure(V, T, m);
        const double r = f.P - P;
        if (r > 0.0)
            lo = V;
        else
            hi = V;
        double next = f.dPdV < 0.0 ? V - r / f.dPdV : 0.5 * (lo + hi);
        if (!(next > lo && next < hi)) next = 0.5 * (lo + hi);
        if (std::fabs(next - V) <= 1e-12 * V || hi - lo <= 1e-12 * hi) return next;
        V = next;
    }
    return V;
}

double lowestGibbsRoot(double P, double T, const MrkParameters& m) {
    const double lo = std::max(m.b / 4.0, kVolumeFloorTest) * (1.0 + 1e-9);
    const double hi = std::min(kVolumeCap, 2.0 * kR * T / P + 10.0 * m.b);
    if (!(hi > lo)) return 0.0;
    const int n = std::clamp(static_cast<int>(std::ceil(std::log(hi / lo) / std::log(kGridRatio))), 1, kMaxGridIntervals);
    const double ratio = std::pow(hi / lo, 1.0 / n);
    double best = 0.0, bestLnPhi = HUGE_VAL;
    double a = lo, fa = mrkPressure(a, T, m).P - P;
    for (int i = 1; i <= n; ++i) {
        const double b = i == n ? hi : a * ratio;
        const double fb = mrkPressure(b, T, m).P - P;
        if (fa > 0.0 && fb <= 0.0) {
            const double V = refineRoot(P, T, m, a, b);
            const double l = MrkLnPhi(P, T, m, V);
            if (l < bestLnPhi) {
                bestLnPhi = l;
                best = V;
            }
        }
        a = b;
        fa = fb;
    }
    return best;
}

// The published search; a volume that is no root is replaced by the root of
// lowest Gibbs energy (kept as it is when there is none).
VolumeResult searchVolume(double P, double T, const MrkParameters& m, double V0) {
    VolumeResult r = mrkNewton(P, T, m, V0);
    if (r.root || !(P > 0.0 && T > 0.0)) return r;
    if (isStableRoot(P, T, m, r.V)) {  // ended near a root after all its steps
        r.root = true;
        return r;
    }
    const double root = lowestGibbsRoot(P, T, m);
    if (root > 0.0) r = VolumeResult{root, true};
    return r;
}

// Of the roots the one of lowest Gibbs energy, which is the search's own
// volume wherever that is the stable root.
VolumeResult stableVolume(double P, double T, const MrkParameters& m, double V0) {
    const VolumeResult r = searchVolume(P, T, m, V0);
    if (!(P > 0.0 && T > 0.0)) return r;
    const double root = lowestGibbsRoot(P, T, m);
    if (!(root > 0.0) || std::fabs(root - r.V) <= kRootVolumeTolerance) return r;
    return VolumeResult{root, true};
}

}  // namespace

double MrkVolume(double P, double T, const MrkParameters& m, double V0, double* z) {
    const double V = searchVolume(P, T, m, V0).V;
    if (z != nullptr) *z = P * V / (kR * T);
    return V;
}

double MrkStableVolume(double P, double T, const MrkParameters& m, double V0) {
    return stableVolume(P, T, m, V0).V;
}

double MrkStartVolumeCO2(double P) {
    if (P >= 1000.0) return 35.0;
    if (P >= 100.0) return 100.0;
    if (P >= 5.0) return 500.0;
    return 5000.0;
}

double MrkStartVolumeH2O(double P, double t) {
    if (P >= 1000.0) return 22.0;
    if (P >= 900.0) return static_cast<double>(24.2f);
    if (P >= 600.0) return static_cast<double>(31.2f);
    if (P >= 210.0) return t >= 550.0 ? 75.0 : 35.0;
    if (P >= 100.0) return t < 400.0 ? 15.0 : 100.0;
    if (P >= 5.0) return 500.0;
    return 1000.0;
}

double MrkLnPhi(double P, double T, const MrkParameters& m, double V) {
    const double b = m.b, c = m.c, d = m.d, e = m.e;
    const double y = b / (4.0 * V);
    const double om = 1.0 - y;
    const double K = 1.0 / (kR * T * std::sqrt(T));
    const double L = std::log1p(b / V);
    const double Z = P * V / (kR * T);
    const double V2 = V * V;
    const double hardSphere = (8.0 * y - 9.0 * y * y + 3.0 * y * y * y) / (om * om * om);
    const double atV = c / (V + b) + d / (V * (V + b)) + e / (V2 * (V + b));
    const double integral = (c / b) * L + d / (b * V) - (d / (b * b)) * L + e / (2.0 * b * V2) - e / (b * b * V) +
                            (e / (b * b * b)) * L;
    return hardSphere - K * atV - K * integral - std::log(Z);
}

double MrkPhi(double P, double T, const MrkParameters& m, double V) {
    return std::exp(clampLnPhi(MrkLnPhi(P, T, m, V)));
}

namespace {

// A pure fluid at a volume: its fugacity coefficient, usable when the volume
// is a root and ln phi lies within its limits.
MrkFluid pureFluid(double P, double T, const MrkParameters& m, VolumeResult v) {
    MrkFluid f;
    f.V = v.V;
    const double lnPhi = MrkLnPhi(P, T, m, v.V);
    f.phi = std::exp(clampLnPhi(lnPhi));
    f.usable = withinLimit(lnPhi) && v.root;
    return f;
}

}  // namespace

MrkFluid MrkPureH2O(double P, double T) {
    const MrkParameters m = KerrickJacobsH2O(T);
    return pureFluid(P, T, m, searchVolume(P, T, m, MrkStartVolumeH2O(P, T - kKelvin)));
}

MrkFluid MrkPureCO2(double P, double T) {
    const MrkParameters m = KerrickJacobsCO2(T);
    return pureFluid(P, T, m, searchVolume(P, T, m, MrkStartVolumeCO2(P)));
}

MixedKJ MixedFluidKJ(double P, double T, double XCO2) {
    const double xc = XCO2;
    const double xw = 1.0 - XCO2;
    const MrkParameters co2 = KerrickJacobsCO2(T);
    const MrkParameters h2o = KerrickJacobsH2O(T);
    const MrkFluid pureC = MrkPureCO2(P, T);
    const MrkFluid pureW = MrkPureH2O(P, T);

    MixedKJ r;
    r.phiCO2 = pureC.phi;
    r.phiH2O = pureW.phi;
    r.VCO2 = pureC.V;
    r.VH2O = pureW.V;
    r.co2Usable = pureC.usable;
    r.h2oUsable = pureW.usable;

    const double t = T - kKelvin;
    if (!(t >= kMixMinC && t <= kMixMaxC)) {
        r.aCO2 = xc;
        r.aH2O = 1.0 - xc;
        return r;
    }

    // Cross terms sqrt(k_H2O k_CO2); every product is positive inside the window.
    const double cc = std::sqrt(std::max(0.0, h2o.c * co2.c));
    const double dc = std::sqrt(std::max(0.0, h2o.d * co2.d));
    const double ec = std::sqrt(std::max(0.0, h2o.e * co2.e));
    MrkParameters mix;
    mix.b = co2.b * xc + h2o.b * xw;
    mix.c = xw * xw * h2o.c + 2.0 * xw * xc * cc + xc * xc * co2.c;
    mix.d = xw * xw * h2o.d + 2.0 * xw * xc * dc + xc * xc * co2.d;
    mix.e = xw * xw * h2o.e + 2.0 * xw * xc * ec + xc * xc * co2.e;

    // Where the isotherms may have a loop, the activity factors are formed
    // from the stable roots of the mixture and of pure water (pure CO2 has
    // one root in the whole window).  The pure coefficients returned above
    // stay those of the published search.
    const bool loops = t < kSingleRootAboveC && P < kSingleRootFromP;
    double phiW = pureW.phi, VW = pureW.V;
    if (loops) {
        const VolumeResult v = stableVolume(P, T, h2o, pureW.V);
        if (v.V != pureW.V) {
            const MrkFluid w = pureFluid(P, T, h2o, v);
            phiW = w.phi;
            VW = w.V;
            r.h2oUsable = r.h2oUsable && w.usable;
        }
    }

    // The mixture starts from the mole-fraction average of the pure volumes:
    // a fixed start (such as CO2's 35) can run Newton onto the volume floor.
    const double start = xc * pureC.V + xw * VW;
    const VolumeResult v = loops ? stableVolume(P, T, mix, start) : searchVolume(P, T, mix, start);
    const double V = v.V;
    r.volume = V;
    const double lnC = mixtureLnPhi(P, T, mix, co2.b, xc * co2.c + xw * cc, xc * co2.d + xw * dc, xc * co2.e + xw * ec, V);
    const double lnW = mixtureLnPhi(P, T, mix, h2o.b, xw * h2o.c + xc * cc, xw * h2o.d + xc * dc, xw * h2o.e + xc * ec, V);
    r.phiMixCO2 = std::exp(clampLnPhi(lnC));
    r.phiMixH2O = std::exp(clampLnPhi(lnW));
    r.mixUsable = withinLimit(lnC) && withinLimit(lnW) && v.root;
    r.aCO2 = xc * r.phiMixCO2 / r.phiCO2;
    r.aH2O = xw * r.phiMixH2O / phiW;
    return r;
}

}  // namespace model
