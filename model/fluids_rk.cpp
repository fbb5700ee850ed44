// Redlich-Kwong equation of the gases by species code:
//   Z^3 - Z^2 + (A - B - B^2) Z - A B = 0,  B = b P/(R T),  A = h B,  h = a/(b R T^1.5),
//   ln phi = Z - 1 - ln(Z - B) - h ln(1 + B/Z),  V = Z R T / P.
#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "model/fluids.hpp"

namespace model {
namespace {

constexpr double kR = 83.12;

// b = b0 + b1 T, a = a0 + a1 T + a2 T^2 (a2 is 0 throughout), by code 1..5:
// water, carbon dioxide, oxygen, hydrogen, sulfur gas.
struct RkConstants {
    double b0, b1, a0, a1, a2;
};
constexpr std::array<RkConstants, 5> kGases = {{
    {14.280619621276855, 0.0006092236726544797, 127918600.0, -22414.150390625, 0.0},
    {27.208629608154297, 0.003069069003686309, 80516328.0, -49823.71875, 0.0},
    {22.099000930786133, 0.0, 17388840.0, 0.0, 0.0},
    {18.502399444580078, 0.0, 1458220.0, 0.0, 0.0},
    {81.57949829101562, 0.0, 1592134016.0, 0.0, 0.0},
}};

constexpr double kLnPhiMax = 700.0;  // keeps exp finite at the extremes of pressure

// A root Z gives phi, or the unusable mark when Z - B or 1 + B/Z is not positive.
GasState rootState(double Z, double B, double h, double P, double T) {
    GasState s;
    if (!(Z - B > 0.0) || !(1.0 + B / Z > 0.0)) {
        s.phi = kUnusableRoot;
        s.V = 0.0;
        s.usable = false;
        return s;
    }
    const double lnPhi = Z - 1.0 - std::log(Z - B) - h * std::log1p(B / Z);
    s.phi = std::exp(std::min(lnPhi, kLnPhiMax));
    s.usable = lnPhi < kLnPhiMax;
    s.V = Z * kR * T / P;
    return s;
}

}  // namespace

GasState RedlichKwongGas(int code, double P, double T) {
    GasState s;
    if (code < 1 || code > static_cast<int>(kGases.size()) || !(P > 0.0) || !(T > 0.0)) return s;
    const RkConstants& k = kGases[static_cast<std::size_t>(code - 1)];
    const double b = std::max(0.0, k.b0 + k.b1 * T);
    const double a = std::max(0.0, k.a0 + k.a1 * T + k.a2 * T * T);
    if (!(b > 0.0)) {  // no covolume: the ideal gas
        s.V = kR * T / P;
        return s;
    }
    const double B = b * P / (kR * T);
    double h = a / (b * kR * T * std::sqrt(T));
    if (!(h > 0.0)) h = 0.001;
    const double A = h * B;
    const double s1 = A - B - B * B;

    // Z = x + 1/3: x^3 + p x + q = 0.
    const double p = s1 - 1.0 / 3.0;
    const double q = -2.0 / 27.0 + s1 / 3.0 - A * B;
    const double disc = (q / 2.0) * (q / 2.0) + (p / 3.0) * (p / 3.0) * (p / 3.0);
    if (disc > 0.0) {
        const double root = std::sqrt(disc);
        const double x = std::cbrt(-q / 2.0 + root) + std::cbrt(-q / 2.0 - root);
        return rootState(x + 1.0 / 3.0, B, h, P, T);
    }
    // Three real roots (a double one when the discriminant is zero): the
    // smallest fugacity coefficient is the stable one.
    double z[3];
    if (disc < 0.0) {
        const double m = 2.0 * std::sqrt(-p / 3.0);
        const double theta = std::acos(std::clamp(3.0 * q / (p * m), -1.0, 1.0)) / 3.0;
        for (int j = 0; j < 3; ++j) z[j] = m * std::cos(theta - 2.0 * std::numbers::pi * j / 3.0) + 1.0 / 3.0;
    } else {
        const double u = std::cbrt(-q / 2.0);
        z[0] = 2.0 * u + 1.0 / 3.0;
        z[1] = z[2] = -u + 1.0 / 3.0;
    }
    GasState best = rootState(z[0], B, h, P, T);
    for (int j = 1; j < 3; ++j) {
        const GasState r = rootState(z[j], B, h, P, T);
        if (r.phi < best.phi) best = r;
    }
    // The mark kept as the smallest coefficient is no usable value either.
    best.usable = best.usable && best.phi < kUnusableRoot;
    return best;
}

}  // namespace model
