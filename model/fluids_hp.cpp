// Holland and Powell fluid models: the (1989) fugacity polynomial of pure H2O
// and CO2 and the (1990) asymmetric H2O-CO2 mixing.
#include <algorithm>
#include <array>
#include <cmath>

#include "model/fluids.hpp"

namespace model {
namespace {

// r0..r16 of  R T ln f [kJ] = (r4 p + r5) p + T (r2 p + r3 + r0/p + r1/p^2 + r7/sqrt(p) + r6/p^3)
//   + T^2 (r9 p + r11 + r10/p^2 + r8/sqrt(p) + r14/p + r12/p^3) + r13/p + r16 + r15/p^2,
// p in kbar; the coefficients are held in single precision.
using Coefficients = std::array<float, 17>;
constexpr Coefficients kCO2 = {0.0161904f,  -0.0021663f, 0.000865307f, 0.098597f,   -0.016983f, 2.6993f,
                               0.000143064f, -0.046448f, 0.0f,         -1.1891e-07f, 4.2467e-07f, -3.678e-06f,
                               -3.952e-08f, 3.2804f,     0.0f,         -0.2401f,    -10.094f};
constexpr Coefficients kH2O = {0.0f,        -0.0004671f, 0.0f,         0.117372f,    -0.0062115f,  1.6474f,
                               0.0f,        0.0f,        -2.4819e-05f, 1.10295e-07f, -9.8774e-07f, -7.3681e-06f,
                               8.33667e-08f, 2.0068f,    8.29481e-06f, 0.0562929f,   -40.338f};
constexpr double kRkJ = 0.008314699865877628;  // kJ/(mol K), single precision
constexpr double kLnPhiLimit = 100.0;

constexpr double kR = 8.3143;
constexpr double kHighPressureMargules = 1500.0;

}  // namespace

double HollandPowellPhi(int species, double P, double T, bool* usable) {
    const Coefficients& c = species == 2 ? kCO2 : kH2O;
    auto r = [&c](int i) { return static_cast<double>(c[static_cast<std::size_t>(i)]); };
    const double p = P / 1000.0;
    const double p2 = p * p, p3 = p2 * p, sp = std::sqrt(p);
    const double rtLnF = (r(4) * p + r(5)) * p +
                         T * (r(2) * p + r(3) + r(0) / p + r(1) / p2 + r(7) / sp + r(6) / p3) +
                         T * T * (r(9) * p + r(11) + r(10) / p2 + r(8) / sp + r(14) / p + r(12) / p3) + r(13) / p +
                         r(16) + r(15) / p2;
    double lnPhi = rtLnF / (kRkJ * T) - std::log(P);
    // Below about a hundred bar the fit runs off to enormous values (and
    // overflows below a few tens of bar): hold ln phi like the other models.
    if (usable != nullptr) *usable = P >= kHollandPowellLowestP && std::fabs(lnPhi) < kLnPhiLimit;
    if (std::isnan(lnPhi)) lnPhi = kLnPhiLimit;
    return std::exp(std::clamp(lnPhi, -kLnPhiLimit, kLnPhiLimit));
}

HpActivities HollandPowellMixing(double P, double T, double XH2O, double XCO2) {
    double wCO2, wH2O;
    if (P < kHighPressureMargules) {
        wCO2 = 1000.0 * (static_cast<double>(1.08f) - static_cast<double>(0.012f) * T);
        wH2O = 1000.0 * (25.0 - static_cast<double>(0.025f) * T);
    } else {
        wCO2 = 1000.0 * (static_cast<double>(0.26f) * P / 1000.0 + static_cast<double>(8.3f) -
                         static_cast<double>(0.007f) * T);
        wH2O = 1000.0 * (static_cast<double>(0.38f) * P / 1000.0 + static_cast<double>(17.8f) -
                         static_cast<double>(0.014f) * T);
    }
    const double RT = kR * T;
    HpActivities a;
    a.aH2O = XH2O * std::exp(XCO2 * XCO2 * (2.0 * wCO2 * XH2O + wH2O * (1.0 - 2.0 * XH2O)) / RT);
    a.aCO2 = XCO2 * std::exp(XH2O * XH2O * (2.0 * wH2O * XCO2 + wCO2 * (1.0 - 2.0 * XCO2)) / RT);
    return a;
}

}  // namespace model
