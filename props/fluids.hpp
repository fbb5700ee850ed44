// CO2, H2O-CO2 mixtures and the other gases.
// Units: P bar, T kelvin, volumes cm3/mol, energies J/mol.
#pragma once
#include <functional>
#include <string_view>

#include "props/water.hpp"

namespace props {

// Modified Redlich-Kwong parameters of Kerrick and Jacobs (1981): b in
// cm3/mol; c, d, e already multiplied by 1e6.
struct MrkParameters {
    double b = 0, c = 0, d = 0, e = 0;
};
MrkParameters KerrickJacobsCO2(double T);
MrkParameters KerrickJacobsH2O(double T);

// Volume solver of the modified Redlich-Kwong equation (Kerrick and Jacobs
// 1981): Newton's method from `V0`; returns V and, in `z`, the
// compressibility PV/RT.
double MrkVolume(double P, double T, const MrkParameters& m, double V0, double* z = nullptr);

// Kerrick and Jacobs (1981) H2O-CO2 mixture at (P, T, XCO2).
struct MixedKJ {
    double phiCO2 = 1, phiH2O = 1;  // fugacity coefficients of the pure species
    double aCO2 = 0, aH2O = 0;      // activity factors in the mixture
    double volume = 0;              // mixture volume (0 outside 325..1050 C)
};
MixedKJ MixedFluidKJ(double P, double T, double XCO2);

// The Kovan and Tessel (1991) CO2 equation: volume and fugacity coefficient.
struct Co2State {
    double V = 0, phi = 1;
};
// Warnings ("subcritical P or T in CO2 routine", "MAXIT (CO2BIS) EXEEDED")
// go to `warn` when given, else to standard output.
using WarningSink = std::function<void(std::string_view)>;
Co2State Co2KovanTessel(double P, double T, const WarningSink* warn = nullptr);

// Holland and Powell (1989) fugacity polynomial; species 1 H2O, 2 CO2.
double HollandPowellPhi(int species, double P, double T);

// Redlich-Kwong of the gases by species code (1..5): fugacity coefficient
// (999999995904 for an unusable root) and volume.
struct GasState {
    double phi = 1, V = 0;
};
GasState RedlichKwongGas(int code, double P, double T);

// Per-run cache of the fluid routines: the last water state and the last
// Kerrick-Jacobs mixture result (reused for the second species).
struct FluidCache {
    WaterCache water;
    bool mixValid = false;
    double mixP = 0, mixT = 0, mixX = 0;
    MixedKJ mix;
    WarningSink warn;  // where the CO2 warnings go (standard output when empty)
};

}  // namespace props
