// CO2, H2O-CO2 mixtures and the other gases.
// Units: P bar, T kelvin, volumes cm3/mol, energies J/mol.
#pragma once
#include <functional>
#include <string_view>

#include "model/water.hpp"

namespace model {

// Modified Redlich-Kwong parameters of Kerrick and Jacobs (1981): b in
// cm3/mol; c, d, e already multiplied by 1e6.
struct MrkParameters {
    double b = 0, c = 0, d = 0, e = 0;
};
MrkParameters KerrickJacobsCO2(double T);
MrkParameters KerrickJacobsH2O(double T);

// Volume solver of the modified Redlich-Kwong equation (Kerrick and Jacobs
// 1981): Newton's method from `V0`; returns V and, in `z`, the
// compressibility PV/RT.  When b/4, the pole of the hard-sphere term, lies
// above the volume floor of 10 (CO2 and CO2-rich mixtures) the search is
// kept above the pole.  A search that does not end on a root of a falling
// stretch of the isotherm (it can stop between the liquid-like and the
// vapour-like root of a loop, on the floor or after 50 steps) is replaced by
// the root of lowest Gibbs energy; with no root at all its last volume is
// returned.
double MrkVolume(double P, double T, const MrkParameters& m, double V0, double* z = nullptr);

// The stable volume: of the roots of the isotherm at P the one of lowest
// Gibbs energy, which is MrkVolume's own result wherever that is the stable
// root.  Costs a few dozen pressure evaluations more than MrkVolume.
double MrkStableVolume(double P, double T, const MrkParameters& m, double V0);

// Initial volumes of the Newton search (cm3/mol) by pressure (bar); water's
// also by temperature t (degrees C).
double MrkStartVolumeCO2(double P);
double MrkStartVolumeH2O(double P, double t);

// Fugacity coefficient of a pure fluid of the modified Redlich-Kwong
// equation at volume V (ln phi held within [-100, 100]), and its logarithm
// without that limit (for a mixture's parameters: the mole-fraction sum of
// its species' ln phi, the mixture's residual Gibbs energy over R T).
double MrkPhi(double P, double T, const MrkParameters& m, double V);
double MrkLnPhi(double P, double T, const MrkParameters& m, double V);

// Pure H2O and CO2 by the modified Redlich-Kwong equation: the volume from
// the tabulated start and its fugacity coefficient.  `usable` is false when
// the volume is no root of the equation or ln phi was held at its limit.
struct MrkFluid {
    double V = 0, phi = 1;
    bool usable = true;
};
MrkFluid MrkPureH2O(double P, double T);
MrkFluid MrkPureCO2(double P, double T);

// Kerrick and Jacobs (1981) H2O-CO2 mixture at (P, T, XCO2).  The pure
// coefficients are those of MrkPureCO2 and MrkPureH2O; the activity factors
// a_i = x_i phi_i,mixture / phi_i,pure compare the mixture and the pure
// fluids in their stable states (their lowest-energy roots).
struct MixedKJ {
    double phiCO2 = 1, phiH2O = 1;  // fugacity coefficients of the pure species
    double aCO2 = 0, aH2O = 0;      // activity factors in the mixture
    double volume = 0;              // mixture volume (0 outside 325..1050 C)
    double phiMixCO2 = 0, phiMixH2O = 0;  // fugacity coefficients in the mixture (0 outside 325..1050 C)
    double VCO2 = 0, VH2O = 0;            // volumes of the pure species
    // False where a volume is no root or an ln phi was held at its limit:
    // pure CO2, pure H2O, the mixture.
    bool co2Usable = true, h2oUsable = true, mixUsable = true;
};
MixedKJ MixedFluidKJ(double P, double T, double XCO2);

// The Kovan and Tessel (1991) CO2 equation: volume and fugacity coefficient.
struct Co2State {
    double V = 0, phi = 1;
    // False when the bisection did not converge, ln phi could not be formed
    // or was held at +-700, or P or T is not positive.
    bool usable = true;
};
// Warnings ("subcritical P or T in CO2 routine", "MAXIT (CO2BIS) EXEEDED")
// go to `warn` when given, else to standard output.
using WarningSink = std::function<void(std::string_view)>;
Co2State Co2KovanTessel(double P, double T, const WarningSink* warn = nullptr);

// The Kovan and Tessel pressure equation at one temperature,
//   P(V) = R T / (V - b + c/(V^3 + c/b)) - (a/T)/V^2 + e/V^4,
// with the largest real root of Q(V) = V^3 - b V^2 + c/b, where P(V) has its
// pole, and the closed-form integral of V dP.
struct KovanTesselEquation {
    double T = 0, R = 83.147, b = 0, c = 83653.408, a = 1094802100.0, e = 3374748800.0;
    static KovanTesselEquation at(double T);  // the CO2 constants
    double pressure(double V) const;
    double poleVolume() const;  // largest real root of Q (0 when none is positive)
    // ln f at volume V for pressure P, from f = 1 bar at V0 = R T + b.
    double lnFugacity(double P, double V) const;
};

// Fugacity coefficient 1e12 (999999995904 in single precision) that marks an
// unusable Redlich-Kwong root.
constexpr double kUnusableRoot = 999999995904.0;

// Holland and Powell (1989) fugacity polynomial; species 1 H2O, 2 CO2.
// ln phi is held within [-100, 100]: the polynomial is a high-pressure fit
// that runs off to very large values below about a hundred bar (phi about 2
// at 90 bar, 1e4 to 1e21 at 50 bar, the limit below).  `usable`, when given,
// is false below 100 bar and wherever ln phi was held.
constexpr double kHollandPowellLowestP = 100.0;  // bar
double HollandPowellPhi(int species, double P, double T, bool* usable = nullptr);

// Holland and Powell (1990) asymmetric H2O-CO2 mixing: the activity factors
// at (P, T) for the given mole fractions; the Margules parameters switch to
// their pressure-dependent form at 1500 bar.
struct HpActivities {
    double aH2O = 1, aCO2 = 1;
};
HpActivities HollandPowellMixing(double P, double T, double XH2O, double XCO2);

// Redlich-Kwong of the gases by species code (1..5): fugacity coefficient
// (999999995904 for an unusable root, then with volume 0) and volume.  Of
// three real roots the smallest coefficient is kept.  An unknown code or a
// non-positive pressure gives phi = 1.  `usable` is false for the unusable
// root's mark and for ln phi held at 700.
struct GasState {
    double phi = 1, V = 0;
    bool usable = true;
};
GasState RedlichKwongGas(int code, double P, double T);

// Per-run cache of the fluid routines: the last water state and the last
// Kerrick-Jacobs mixture result (reused for the second species).
struct FluidCache {
    WaterCache water;
    bool mixValid = false;
    double mixP = 0, mixT = 0, mixX = 0;
    MixedKJ mix;
    int mixEvaluations = 0;  // MixedFluidKJ computations made through FluidProperties
    WarningSink warn;  // where the CO2 warnings go (standard output when empty)
};

}  // namespace model
