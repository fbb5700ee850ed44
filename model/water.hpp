// Pure water: the equation of state of Haar, Gallagher and Kell (1984) with
// a high-pressure extension, and the saturation pressure.
// Units: P bar, T kelvin, V cm3/mol, G J/mol.
#pragma once

namespace model {

struct WaterState {
    double V = 0;  // molar volume, cm3/mol
    double G = 0;  // Gibbs energy, J/mol (the equation's value + 54955.23561461212)
    // False when the density search gave up off a root, or P or T is not a
    // positive finite number.
    bool usable = true;
};

// Haar, Gallagher and Kell (1984) restricted as the program uses it: a
// Redlich-Kwong start, a bounded Newton search on density, only the last
// additional term below 449.35 K, the 1.01325 bar reference. Near the saturation
// curve, and between 647.25 K and the equation's critical point, the stable one of
// liquid and vapour is returned. A pressure or temperature that is not a positive
// finite number gives G = 1,000,000 J/mol (the unevaluable-fluid energy) and V = 18.0152.
// A density search that does not settle on a root keeps its last density and
// clears `usable`.
WaterState WaterHaar(double P, double T);

// The water Gibbs energy of the fluid routine and the cordierite hydration:
// WaterHaar at min(P, 10000) minus 285829.96875 and 20845.037109375, plus the
// high-pressure polynomial difference 4.184 (W(t, P) - W(t, 10000)) above
// 10,000 bar.  `usable`, when given, tells whether the Haar state was usable.
double WaterGibbsHaar(double P, double T, bool* usable = nullptr);

// Saturation pressure of water (bar) at T (K); 220.55 above 647.25 K.
double WaterSaturationPressure(double T);

// The last water state, so that an unchanged point costs nothing.
struct WaterCache {
    double P = -1, T = -1;
    WaterState state;
    double gibbsHaar = 0;  // WaterGibbsHaar at (P, T)
    bool valid = false;
    // WaterGibbsHaar and the Haar volume at (P, T), computed or reused; recomputed only
    // when P or T differ from the cached ones. Above 10,000 bar `state` is the Haar state
    // at 10,000 bar (the volume where the equation stops).
    const WaterCache& at(double P, double T);
};

}  // namespace model
