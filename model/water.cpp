// Pure water: Haar, Gallagher and Kell (1984) with the program's restrictions,
// the high-pressure polynomial above 10 kbar and the saturation pressure.
//
// The Helmholtz function is worked per gram in bar.cm3/g (R = 4.6152) and turned
// into J/mol with 1.80152 = 18.0152/10 at the end. Everything that depends on
// temperature only is gathered once per call (`Isotherm`), so that one Newton
// step costs two exponentials and a handful of multiplications.
#include "model/water.hpp"

#include <array>
#include <cmath>

#include "core/polynomial.hpp"

namespace model {
namespace {

constexpr double kMolarMass = 18.0152;  // g/mol
constexpr double kToJoulePerMol = 1.80152;  // bar.cm3/g -> J/mol
constexpr double kR = 4.6152;            // bar.cm3/(g.K)
constexpr double kTstar = 647.073;       // K, reference temperature of base and residual functions
constexpr double kAtm = 1.01325;         // bar, inside the logarithm of the base function
constexpr double kGibbsOffset = 54955.23561461212;  // zeroes G at 1 bar, 298.15 K
constexpr double kRhoCeiling = 1.9;      // g/cm3
constexpr double kRhoFloor = 1e-8;       // g/cm3, replaces a non-positive density
constexpr int kMaxIterations = 100;
constexpr double kHighPressure = 10000.0;  // bar; above it the polynomial takes over
constexpr double kUnevaluated = 1000000.0;  // J/mol for a state that cannot be evaluated

// Base function: alpha = 11, beta = 133/3, gamma = 7/2.
constexpr double kAlpha = 11.0;
constexpr double kBeta = 133.0 / 3.0;
constexpr double kGamma = 3.5;
constexpr double kBaseC1 = kBeta - 1.0;                    // (beta - 1)
constexpr double kBaseC2 = (kAlpha + kBeta + 1.0) / 2.0;   // (alpha + beta + 1)/2
constexpr double kBaseC3 = -(kAlpha - kBeta + 3.0) / 2.0;  // -(alpha - beta + 3)/2

// Excluded volume b(T) and second-virial part B(T), cm3/g.
constexpr double kbL = -0.3540782, kb0 = 0.7478629, kb3 = 0.007159876, kb5 = -0.003528426;
constexpr double kB0 = 1.1278334, kB1 = -0.5944001, kB2 = -5.010996, kB4 = 0.63684256;

// Residual function: sum of g/k tau^l (1 - exp(-rho))^k, g in bar.cm3/g.
struct ResidualTerm {
    int k, l;
    double g;
};
constexpr std::array<ResidualTerm, 36> kResidual{{
    {1, 1, -5.3062968529023e+03}, {1, 2, 2.2744901424408e+04}, {1, 4, 7.8779333020687e+03},
    {1, 6, -6.9830527374994e+02}, {2, 1, 1.7863832875422e+05}, {2, 2, -3.9514731563338e+05},
    {2, 4, 3.3803884280753e+05},  {2, 6, -1.3855050202703e+05}, {3, 1, -2.5637436613260e+06},
    {3, 2, 4.8212575981415e+06},  {3, 4, -3.4183016969660e+06}, {3, 6, 1.2223156417448e+06},
    {4, 1, 1.1797433655832e+07},  {4, 2, -2.1734810110373e+07}, {4, 4, 1.0829952168620e+07},
    {4, 6, -2.5441998064049e+06}, {5, 1, -3.1377774947767e+07}, {5, 2, 5.2911910757704e+07},
    {5, 4, -1.3802577177877e+07}, {5, 6, -2.5109914369001e+06}, {6, 1, 4.6561826115608e+07},
    {6, 2, -7.2752773275387e+07}, {6, 4, 4.1774246148294e+06},  {6, 6, 1.4016358244614e+07},
    {7, 1, -3.1555231392127e+07}, {7, 2, 4.7929666384584e+07},  {7, 4, 4.0912664781209e+06},
    {7, 6, -1.3626369388386e+07}, {9, 1, 6.9625220862664e+06},  {9, 2, -1.0834900096447e+07},
    {9, 4, -2.2722827401688e+06}, {9, 6, 3.8365486000660e+06},  {3, 0, 6.8833257944332e+04},
    {3, 3, 2.1757245522644e+05},  {1, 3, -2.6627944829770e+04}, {5, 3, -7.0730418082074e+05},
}};
constexpr int kMaxPower = 9;  // highest power of (1 - exp(-rho))

// The low-temperature additional term, the only one kept, and only below 449.35 K:
// -930 exp(-1050 (rho/1.55 - 1)^4 - 25 (T/270 - 1)^2).
constexpr double kAddLimitT = 449.35;
constexpr double kAddG = -930.0, kAddRho = 1.55, kAddT = 270.0, kAddAlpha = 1050.0, kAddBeta = 25.0;

// Ideal gas (Woolley): -R T [1 + (C1/tr + C2) ln tr + sum C_i tr^(i-6)], tr = T/100.
constexpr double kIdealC1 = 19.730271018, kIdealC2 = 20.9662681977;
constexpr std::array<double, 16> kIdealPoly{  // powers -3 .. 12 of tr
    -0.483429455355,     6.05743189245,      22.56023885,         -9.87532442,
    -4.3135538513,       0.458155781,        -0.047754901883,     0.0041238460633,
    -0.00027929052852,   1.4481695261e-05,   -5.6473658748e-07,   1.6200446e-08,
    -3.303822796e-10,    4.51916067368e-12,  -3.70734122708e-14,  1.37546068238e-16};

// Redlich-Kwong start: R in bar.cm3/(mol.K), a(T) and b(T) per mole.
constexpr double kRkR = 83.1441;
constexpr double kRkA0 = 127918600.0, kRkA1 = -22414.15;
constexpr double kRkB0 = 14.28062, kRkB1 = 0.0006092237;

// Water Gibbs energy of the fluid routine: two fixed offsets.
constexpr double kGibbsShift1 = 285829.96875;
constexpr double kGibbsShift2 = 20845.037109375;

// High-pressure polynomial W(t, P) in cal/mol; kHighP[o][m] multiplies t^m P^o.
constexpr double kCelsiusOffset = 273.149993896484375;  // 273.15 in single precision
constexpr double kCalorie = 4.184000015258789;          // 4.184 in single precision
constexpr double kHighP[5][5] = {
    {-56130.073, -15.285559, -0.026092451, 1.7140501e-05, -6.0126987e-09},
    {0.38101798, 0.0001375239, 3.5988857e-08, -1.6860893e-11, 0},
    {-2.1167697e-06, -1.5586868e-09, -2.7916588e-14, 0, 0},
    {2.0266445e-11, 6.6329577e-15, 0, 0, 0},
    {-8.3225572e-17, 0, 0, 0, 0},
};

// Saturation pressure fit.
constexpr double kSatA[8] = {-7.8889166, 2.5514255, -6.716169, 33.239495,
                             -105.38479, 174.35319, -148.39348, 48.631602};
constexpr double kSatTc = 647.25, kSatPc = 220.93, kSatPlateau = 220.55;

bool usable(double P, double T) { return std::isfinite(P) && std::isfinite(T) && P > 0 && T > 0; }

// Everything of the equation that depends on temperature alone.
struct Isotherm {
    double T = 0;
    double RT = 0;        // bar.cm3/g
    double b = 0;         // excluded volume, cm3/g
    double virial = 0;    // B/b - gamma
    double c[kMaxPower + 1] = {};  // residual: sum of g tau^l over the terms of power k
    bool addTerm = false;
    double addAmp = 0;    // -930 exp(-25 (T/270 - 1)^2)
    double psat = 0;      // bar
};

Isotherm makeIsotherm(double T) {
    Isotherm it;
    it.T = T;
    it.RT = kR * T;
    const double tau = kTstar / T;
    const double tau2 = tau * tau;
    const double tau3 = tau2 * tau;
    const double tau4 = tau2 * tau2;
    const double tau5 = tau4 * tau;
    const double tau6 = tau3 * tau3;
    it.b = kbL * std::log(T / kTstar) + kb0 + kb3 * tau3 + kb5 * tau5;
    const double B = kB0 + kB1 * tau + kB2 * tau2 + kB4 * tau4;
    it.virial = B / it.b - kGamma;
    const double tauPow[7] = {1.0, tau, tau2, tau3, tau4, tau5, tau6};
    for (const ResidualTerm& r : kResidual) it.c[r.k] += r.g * tauPow[r.l];
    it.addTerm = T < kAddLimitT;
    if (it.addTerm) {
        const double theta = T / kAddT - 1.0;
        it.addAmp = kAddG * std::exp(-kAddBeta * theta * theta);
    }
    it.psat = WaterSaturationPressure(T);
    return it;
}

struct PressureAt {
    double P = 0;      // bar
    double dPdrho = 0; // bar.cm3/g
};

// P = rho^2 dA/drho and its derivative at density rho.
PressureAt pressureAt(const Isotherm& it, double rho) {
    // Base function.
    const double y = it.b * rho * 0.25;
    const double w = 1.0 / (1.0 - y);
    const double w3 = w * w * w;
    const double poly = 1.0 + kAlpha * y + kBeta * y * y;
    const double Z = poly * w3 + 4.0 * y * it.virial;
    const double dZdy = (kAlpha + 2.0 * kBeta * y) * w3 + 3.0 * poly * w3 * w + 4.0 * it.virial;
    PressureAt p;
    p.P = rho * it.RT * Z;
    p.dPdrho = it.RT * (Z + y * dZdy);

    // Residual: with E = exp(-rho), u = 1 - E, term k gives c_k rho^2 E u^(k-1).
    const double E = std::exp(-rho);
    const double u = -std::expm1(-rho);
    double sumP = 0, sumD = 0;  // sum c_k u^(k-1) and sum (k-1) c_k u^(k-2)
    double uk1 = 1.0;           // u^(k-1)
    double uk2 = 0.0;           // u^(k-2)
    for (int k = 1; k <= kMaxPower; ++k) {
        sumP += it.c[k] * uk1;
        sumD += (k - 1) * it.c[k] * uk2;
        uk2 = uk1;
        uk1 *= u;
    }
    const double rho2E = rho * rho * E;
    p.P += rho2E * sumP;
    p.dPdrho += rho2E * sumP * (2.0 / rho - 1.0) + rho2E * E * sumD;

    // Low-temperature additional term.
    if (it.addTerm) {
        const double d = rho / kAddRho - 1.0;
        const double d2 = d * d;
        const double A = it.addAmp * std::exp(-kAddAlpha * d2 * d2);
        const double q1 = -4.0 * kAddAlpha * d2 * d / kAddRho;
        const double q2 = -12.0 * kAddAlpha * d2 / (kAddRho * kAddRho);
        p.P += rho * rho * A * q1;
        p.dPdrho += 2.0 * rho * A * q1 + rho * rho * A * (q1 * q1 + q2);
    }
    return p;
}

// Helmholtz energy per gram without the ideal-gas part (bar.cm3/g).
double helmholtzResidual(const Isotherm& it, double rho) {
    const double y = it.b * rho * 0.25;
    const double w = 1.0 / (1.0 - y);
    double A = it.RT * (-std::log1p(-y) - kBaseC1 * w + kBaseC2 * w * w + 4.0 * y * it.virial + kBaseC3 +
                        std::log(rho * it.RT / kAtm));
    const double u = -std::expm1(-rho);
    double uk = 1.0;
    for (int k = 1; k <= kMaxPower; ++k) {
        uk *= u;
        A += it.c[k] / k * uk;
    }
    if (it.addTerm) {
        const double d = rho / kAddRho - 1.0;
        const double d2 = d * d;
        A += it.addAmp * std::exp(-kAddAlpha * d2 * d2);
    }
    return A;
}

// Ideal-gas Helmholtz energy per gram (bar.cm3/g).
double helmholtzIdeal(double T) {
    const double tr = T / 100.0;
    const double inv = 1.0 / tr;
    double sum = 0;
    for (int i = static_cast<int>(kIdealPoly.size()) - 1; i >= 0; --i) sum = sum * tr + kIdealPoly[i];
    sum *= inv * inv * inv;  // the polynomial starts at tr^-3
    return -kR * T * (1.0 + (kIdealC1 * inv + kIdealC2) * std::log(tr) + sum);
}

// Roots of the Redlich-Kwong cubic V^3 - (RT/P) V^2 + (a/P - b^2 - bRT/P) V - ab/P = 0, in
// closed form: trigonometric with three real roots, hyperbolic with one.
struct CubicRoots {
    double smallest = 0, largest = 0;
};

CubicRoots redlichKwongRoots(double P, double T) {
    const double a = (kRkA0 + kRkA1 * T) / std::sqrt(T);
    const double b = kRkB0 + kRkB1 * T;
    const double rtp = kRkR * T / P;
    const double c2 = -rtp;
    const double c1 = a / P - b * b - b * rtp;
    const double c0 = -a * b / P;
    // Depressed cubic x^3 + p x + q = 0 with V = x - c2/3.
    const double shift = -c2 / 3.0;
    const double p = c1 - c2 * c2 / 3.0;
    const double q = 2.0 * c2 * c2 * c2 / 27.0 - c2 * c1 / 3.0 + c0;
    const double disc = q * q / 4.0 + p * p * p / 27.0;
    CubicRoots r;
    if (p < 0 && disc < 0) {
        const double m = 2.0 * std::sqrt(-p / 3.0);
        double arg = 3.0 * q / (p * m);
        arg = arg > 1.0 ? 1.0 : (arg < -1.0 ? -1.0 : arg);
        const double phi = std::acos(arg) / 3.0;
        constexpr double third = 2.0943951023931957;  // 2 pi / 3
        const double x0 = m * std::cos(phi);          // largest
        const double x2 = m * std::cos(phi - 2.0 * third);  // smallest
        r.largest = x0 + shift;
        r.smallest = x2 + shift;
        return r;
    }
    double x;
    if (p > 0) {
        const double m = 2.0 * std::sqrt(p / 3.0);
        x = -m * std::sinh(std::asinh(3.0 * q / (p * m)) / 3.0);
    } else if (p < 0) {
        const double m = 2.0 * std::sqrt(-p / 3.0);
        const double s = q > 0 ? 1.0 : -1.0;
        x = -s * m * std::cosh(std::acosh(std::fmax(1.0, std::fabs(3.0 * q / (p * m)))) / 3.0);
    } else {
        x = std::cbrt(-q);
    }
    r.smallest = r.largest = x + shift;
    return r;
}

// The density search: a Redlich-Kwong start, then Newton on density.
double startDensity(const Isotherm& it, double P) {
    const CubicRoots r = redlichKwongRoots(P, it.T);
    const double V = P < it.psat ? r.largest : r.smallest;
    return V > 0 ? kMolarMass / V : kRhoCeiling;
}

double clampDensity(double rho) {
    if (!(rho > 0)) return kRhoFloor;
    return rho > kRhoCeiling ? kRhoCeiling : rho;
}

// One step: Newton limited to 0.1 g/cm3 where the isotherm rises; inside the unstable
// region (dP/drho <= 0) a 5 % move towards the liquid above the saturation pressure and
// towards the vapour below it.
double nextDensity(const Isotherm& it, double P, double rho, const PressureAt& pr) {
    if (pr.dPdrho > 0) {
        double step = (P - pr.P) / std::fmax(pr.dPdrho, 0.01);
        step = step > 0.1 ? 0.1 : (step < -0.1 ? -0.1 : step);
        return clampDensity(rho + step);
    }
    return clampDensity(rho * (P > it.psat ? 1.05 : 0.95));
}

// At most 100 steps; stops once the pressure is within 5 % and the step below 5 %, and
// keeps the density after that last step.
double newtonSearch(const Isotherm& it, double P, double rho) {
    rho = clampDensity(rho);
    for (int i = 0; i < kMaxIterations; ++i) {
        const PressureAt pr = pressureAt(it, rho);
        const double next = nextDensity(it, P, rho, pr);
        const bool done = std::fabs(1.0 - pr.P / P) < 0.05 && std::fabs(1.0 - next / rho) < 0.05;
        rho = next;
        if (done) break;
    }
    return rho;
}

// The 5 % tests of the search are loose. Away from the critical point the density after
// the last step is still well within 0.1 % of the root, but where the isotherm is flat
// (near the critical point) the last step can leave it a few per cent off, or inside the
// unstable region where dP/drho < 0. Such a density is not accepted: the same steps go on
// until the density settles.
constexpr double kDensityTolerance = 1e-3;  // relative, what the search is trusted to give
constexpr double kSettled = 1e-10;          // relative step at which the density has settled

bool closeToRoot(const Isotherm& it, double P, double rho) {
    const PressureAt pr = pressureAt(it, rho);
    return pr.dPdrho > 0 && std::fabs(P - pr.P) <= kDensityTolerance * rho * pr.dPdrho;
}

double settle(const Isotherm& it, double P, double rho) {
    rho = clampDensity(rho);
    double best = rho, bestStep = HUGE_VAL;  // the smallest Newton step seen, should it not settle
    for (int i = 0; i < kMaxIterations; ++i) {
        const PressureAt pr = pressureAt(it, rho);
        const double next = nextDensity(it, P, rho, pr);
        const double step = std::fabs(next - rho);
        if (pr.dPdrho > 0) {
            if (step <= kSettled * rho) return next;
            if (step < bestStep * rho) {
                bestStep = step / rho;
                best = next;
            }
        }
        rho = next;
    }
    return best;
}

// The saturation fit, which picks the Redlich-Kwong root, is not the equation's own
// liquid-vapour boundary: the two differ by up to 2.4e-4 (relative) below 647.25 K, and
// above it the 220.55 bar plateau lies below the equation's saturation pressure (up to
// 223.36 bar at the critical point of the equation as used here, 648.18 K). Close to the
// fit, and in that window above it, both branches are solved and the lower Gibbs energy,
// the stable phase, is kept; otherwise G would jump at the fit and the volume could be the
// metastable one.
constexpr double kSaturationBand = 1e-3;  // relative distance from the fit
constexpr double kTwoPhaseEnd = 648.5;    // K, just above the equation's critical temperature
constexpr double kRhoCritical = 0.322;    // g/cm3, between the two branches near Tc

bool bothPhasesPossible(const Isotherm& it, double P) {
    if (it.T <= kSatTc) return std::fabs(P - it.psat) <= kSaturationBand * it.psat;
    return it.T < kTwoPhaseEnd;
}

WaterState stateAt(const Isotherm& it, double P, double rho) {
    WaterState w;
    w.V = kMolarMass / rho;
    w.G = kToJoulePerMol * (P / rho + helmholtzResidual(it, rho) + helmholtzIdeal(it.T)) + kGibbsOffset;
    return w;
}

// 4.184 (W(t, P) - W(t, 10000)), J/mol; t in degrees Celsius with the single-precision
// 273.15. Used above 10 kbar only, where it starts from zero.
double highPressureTerm(double P, double T) {
    const double t = T - kCelsiusOffset;
    auto W = [t](double p) { return core::triangularPolynomial(kHighP, p, t); };
    return kCalorie * (W(P) - W(kHighPressure));
}

}  // namespace

WaterState WaterHaar(double P, double T) {
    if (!usable(P, T)) return WaterState{kMolarMass, kUnevaluated, false};
    const Isotherm it = makeIsotherm(T);
    double rho = newtonSearch(it, P, startDensity(it, P));
    bool root = closeToRoot(it, P, rho);
    if (!root) {
        rho = settle(it, P, rho);
        root = closeToRoot(it, P, rho);
    }
    WaterState w = stateAt(it, P, rho);
    w.usable = root;
    if (bothPhasesPossible(it, P)) {
        const double other = settle(it, P, rho > kRhoCritical ? P / it.RT : kRhoCeiling);
        if (std::fabs(other / rho - 1.0) > 1e-6 && closeToRoot(it, P, other)) {
            const WaterState v = stateAt(it, P, other);
            if (v.G < w.G) w = v;
        }
    }
    return w;
}

namespace {

// The fluid routine's water Gibbs energy from the Haar state at min(P, 10000).
double gibbsFromHaar(double P, double T, const WaterState& haar) {
    double G = haar.G - kGibbsShift1 - kGibbsShift2;
    if (P > kHighPressure) G += highPressureTerm(P, T);
    return G;
}

}  // namespace

double WaterGibbsHaar(double P, double T, bool* ok) {
    if (!usable(P, T)) {
        if (ok != nullptr) *ok = false;
        return kUnevaluated;
    }
    const WaterState w = WaterHaar(P < kHighPressure ? P : kHighPressure, T);
    if (ok != nullptr) *ok = w.usable;
    return gibbsFromHaar(P, T, w);
}

const WaterCache& WaterCache::at(double P_, double T_) {
    if (valid && P_ == P && T_ == T) return *this;
    P = P_;
    T = T_;
    valid = true;
    if (!usable(P_, T_)) {
        state = WaterState{kMolarMass, kUnevaluated, false};
        gibbsHaar = kUnevaluated;
        return *this;
    }
    // Above 10 kbar the volume is the Haar volume at 10 kbar, where the equation stops.
    state = WaterHaar(P_ < kHighPressure ? P_ : kHighPressure, T_);
    gibbsHaar = gibbsFromHaar(P_, T_, state);
    return *this;
}

double WaterSaturationPressure(double T) {
    if (!(T > 0)) return 0.0;  // no vapour pressure at or below absolute zero (and NaN input)
    if (T <= 314.0) return std::exp(6.3573118 - 8858.843 / T + 607.56335 / std::pow(T, 0.6));
    if (T <= kSatTc) {
        const double tau = std::fabs(1.0 - T / kSatTc);
        const double s = std::sqrt(tau);
        double sum = 0;  // a1 tau + a2 tau^1.5 + ... + a8 tau^4.5
        for (int i = 7; i >= 0; --i) sum = sum * s + kSatA[i];
        sum *= tau;
        return kSatPc * std::exp(sum / (T / kSatTc));
    }
    return kSatPlateau;
}

}  // namespace model
