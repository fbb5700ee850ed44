// The CO2 equation of Kovan and Tessel (1991):
//
//   P(V) = R T / (V - b + c/(V^3 + c/b)) - (a/T)/V^2 + e/V^4.
//
// With k = c/b and Q(V) = V^3 - b V^2 + k the repulsive term splits into
// R T / V + R T b V / Q(V), and V/Q(V) = sum_j w_j / (V - r_j) over the roots
// r_j of Q with w_j = 1/(3 r_j - 2b).  The pressure has its pole at the
// largest real root of Q and falls from +infinity above it, so the volume is
// bracketed between that root and a volume where P(V) is below the target,
// and the integral of P dV is closed-form (logarithms; a logarithm and an
// arctangent for a complex pair).
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "model/fluids.hpp"

namespace model {
namespace {

constexpr double kSubcriticalP = 88.745;
constexpr double kSubcriticalT = 332.74;
constexpr double kUpperFactor = static_cast<double>(1.2f);
constexpr int kMaxHalvings = 50;
constexpr double kRelativeStep = 1e-6;
constexpr double kResidual = 1e-8;
constexpr double kLnPhiLimit = 700.0;  // keeps exp finite

void emit(const WarningSink* warn, std::string_view text) {
    if (warn != nullptr && *warn) {
        (*warn)(text);
        return;
    }
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fputc('\n', stdout);
}

// Roots of Q(V) = V^3 - b V^2 + k: three real ones, or one real root and a
// complex pair rho +- i sigma.
struct CubicRoots {
    bool threeReal = true;
    double r[3] = {0, 0, 0};  // three real roots, largest first; or r[0] the real one
    double rho = 0, sigma = 0;
};

CubicRoots rootsOfQ(double b, double k) {
    // V = x + b/3: x^3 + p x + q = 0.
    const double p = -b * b / 3.0;
    const double q = k - 2.0 * b * b * b / 27.0;
    const double disc = (q / 2.0) * (q / 2.0) + (p / 3.0) * (p / 3.0) * (p / 3.0);
    CubicRoots roots;
    if (disc < 0.0) {
        const double m = 2.0 * std::sqrt(-p / 3.0);
        const double theta = std::acos(std::clamp(3.0 * q / (p * m), -1.0, 1.0)) / 3.0;
        for (int j = 0; j < 3; ++j) roots.r[j] = m * std::cos(theta - 2.0 * std::numbers::pi * j / 3.0) + b / 3.0;
        return roots;
    }
    const double s = std::sqrt(disc);
    const double u = std::cbrt(-q / 2.0 + s);
    const double v = std::cbrt(-q / 2.0 - s);
    roots.threeReal = false;
    roots.r[0] = u + v + b / 3.0;
    roots.rho = -(u + v) / 2.0 + b / 3.0;
    roots.sigma = (u - v) * std::sqrt(3.0) / 2.0;
    return roots;
}

}  // namespace

KovanTesselEquation KovanTesselEquation::at(double T) {
    KovanTesselEquation eq;
    eq.T = T;
    eq.b = 28.06474 + 0.00017287123 * T;
    return eq;
}

double KovanTesselEquation::pressure(double V) const {
    const double V2 = V * V;
    return R * T / (V - b + c / (V2 * V + c / b)) - (a / T) / V2 + e / (V2 * V2);
}

double KovanTesselEquation::poleVolume() const {
    const CubicRoots roots = rootsOfQ(b, c / b);
    return std::max(0.0, roots.r[0]);
}

double KovanTesselEquation::lnFugacity(double P, double V) const {
    // R T ln f = P V - P0 V0 - [F(V) - F(V0)], f = P0 = 1 bar at V0 = R T + b,
    // with F the antiderivative of P(V); the differences are taken term by term.
    const double RT = R * T;
    const double V0 = RT + b;
    const CubicRoots roots = rootsOfQ(b, c / b);
    double sum = 0.0;
    if (roots.threeReal) {
        for (double r : roots.r) sum += std::log((V - r) / (V0 - r)) / (3.0 * r - 2.0 * b);
    } else {
        const double r = roots.r[0];
        sum += std::log((V - r) / (V0 - r)) / (3.0 * r - 2.0 * b);
        // The conjugate pair: alpha + i beta = 1 / (3 (rho + i sigma) - 2b).
        const double re = 3.0 * roots.rho - 2.0 * b, im = 3.0 * roots.sigma;
        const double den = re * re + im * im;
        const double alpha = re / den, beta = -im / den;
        const double s2 = roots.sigma * roots.sigma;
        const double dv = V - roots.rho, dv0 = V0 - roots.rho;
        sum += alpha * std::log((dv * dv + s2) / (dv0 * dv0 + s2)) +
               2.0 * beta * (std::atan2(roots.sigma, dv) - std::atan2(roots.sigma, dv0));
    }
    const double dF = RT * (std::log(V / V0) + b * sum) + (a / T) * (1.0 / V - 1.0 / V0) -
                      (e / 3.0) * (1.0 / (V * V * V) - 1.0 / (V0 * V0 * V0));
    return (P * V - V0 - dF) / RT;
}

Co2State Co2KovanTessel(double P, double T, const WarningSink* warn) {
    if (P < kSubcriticalP && T < kSubcriticalT) emit(warn, "subcritical P or T in CO2 routine");
    Co2State s;
    if (!(P > 0.0) || !(T > 0.0)) {  // no state at a non-positive pressure or temperature
        s.usable = false;
        return s;
    }
    const KovanTesselEquation eq = KovanTesselEquation::at(T);

    // Bracket: just above the pole (P -> +infinity) up to 1.2 (RT/P + b),
    // widened until the pressure there is below the target.  (A bracket
    // from the root of the van der Waals cubic misses the volume at high
    // pressure, where it falls below b.)
    double lo = eq.poleVolume();
    double hi = std::max(kUpperFactor * (eq.R * T / P + eq.b), lo * 1.5 + 1.0);
    for (int i = 0; i < 200 && !(eq.pressure(hi) < P); ++i) hi = lo + 2.0 * (hi - lo);

    double V = hi;
    bool converged = false;
    for (int i = 0; i < kMaxHalvings; ++i) {
        V = 0.5 * (lo + hi);
        const double residual = eq.pressure(V) - P;
        if (residual < 0.0)
            hi = V;
        else
            lo = V;
        if (hi - lo < kRelativeStep * V || std::fabs(residual) < kResidual) {
            converged = true;
            break;
        }
    }
    if (!converged) emit(warn, "MAXIT (CO2BIS) EXEEDED");
    s.V = V;
    double lnPhi = eq.lnFugacity(P, V) - std::log(P);
    s.usable = converged && std::fabs(lnPhi) < kLnPhiLimit;
    if (std::isnan(lnPhi)) lnPhi = 100.0;
    s.phi = std::exp(std::clamp(lnPhi, -kLnPhiLimit, kLnPhiLimit));
    return s;
}

}  // namespace model
