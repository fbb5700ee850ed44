// Aqueous species: the dielectric constant of water and the chemical
// potentials of the two revised equations of state of the database (the
// "*AQU HELGESON" and "*AQU TANGER" sections).
//
// Units: T in kelvin, P in bar, water density in g/cm3, energies in J/mol.
// Parameters by slot of the phase record (the loader's order for the aqueous
// sections): K0 theta (K), K5 c1, K2 c2, K1 omega, K4 psi (bar); V1..V4 a1..a4.
#pragma once

#include <string>

#include "model/gibbs.hpp"
#include "model/phase.hpp"
#include "model/water.hpp"

namespace model {

// Dielectric constant of water at TK and density rho: the polynomial
// sum over i + j <= 4 of C[i][j] TK^i rho^j (78.464 at 298.15 K and
// 0.997047 g/cm3).
double waterDielectricConstant(double TK, double rho);

// Standard chemical potential (J/mol) of a species of the revised equation of
// state of Tanger and Helgeson (1988, Am. J. Sci. 288, 19-98; Shock et al.
// 1992, J. Chem. Soc. Faraday Trans. 88, 803-826) at (TK, P) with the
// dielectric constant `eps`, omega held constant (no g function):
//   mu = H - TK S + c1 (TK - Tr) - c1 TK ln(TK/Tr) + a1 (P - 1) + a2 L
//        + (a3 (P - 1) + a4 L)/(TK - theta) + c2/theta
//        + c2 (theta - TK)/(theta (Tr - theta))
//        + c2 (TK/theta^2) ln(Tr (TK - theta)/(TK (Tr - theta))) + omega (1/eps - 1),
// L = ln((psi + P)/(psi + 1)), Tr = 298.15 K.  H and S are the non-solvation
// reference enthalpy and entropy (J/mol, J/(mol K)); c1 J/(mol K), c2 J K/mol,
// a1 J/(mol bar), a2 J/mol, a3 J K/(mol bar), a4 J K/mol, omega J/mol;
// theta = 0 and psi = 0 in the data stand for 228 K and 2600 bar.  The
// activity term is not included.
double aqueousPotentialTanger(const PhaseRecord& p, double TK, double P, double eps);

// Chemical potential (J/mol) of a species of the older form of Helgeson,
// Kirkham and Flowers (1981, Am. J. Sci. 281, 1249-1516) at (TK, P) with the
// dielectric constant `eps`, including its activity term:
//   mu = H - TK S + (c1 + c2 - 5.808e-5 omega)(TK - Tr) - c1 TK ln(TK/Tr)
//        - c2 (TK - theta) ln((TK - theta)/(Tr - theta)) + a1 (P - 1) + a2 (P^2 - 1)/2
//        + (a3 (P - 1) + a4 (P^2 - 1)/2) TK/(TK - theta) + omega (1/eps - 1/78.47)
//        + R ln10 TK logActivity.
// H and S are the ordinary enthalpy of formation and entropy at 25 C, 1 bar;
// c1, c2 J/(mol K), a1 J/(mol bar), a2 J/(mol bar^2), a3 J/(mol bar),
// a4 J/(mol bar^2), theta K, omega J/mol; logActivity log10.
double aqueousPotentialHelgeson(const PhaseRecord& p, double TK, double P, double eps, double logActivity);

// Whether a phase name is the electron's: "E-" or "e-", blanks after it.
bool isElectronName(const std::string& name);

// The water that the aqueous routines see at (TK, P).
struct AqueousWater {
    double rho = 0;      // density, g/cm3: 18.0152 / the Haar routine's molar volume
    double eps = 0;      // dielectric constant (waterDielectricConstant)
    bool usable = true;  // false: the Haar density search gave up (its last volume is used)
};
// From the last water state of `cache` when (P, TK) are unchanged.
AqueousWater aqueousWaterAt(WaterCache& cache, double TK, double P);

// Chemical potential (J/mol) of aqueous species `index` (0-based) of the
// evaluator's table at the point, with its log10 activity of the point: the
// electron ("E-") half the energy of its record taken as a gas at unit
// fugacity (so that 2 H+ + 2 E- = H2 (gas) has no Gibbs energy change when
// the record is that of hydrogen gas, the hydrogen-electrode convention); a
// "*AQU TANGER" species by aqueousPotentialTanger plus R ln10 T log a; a
// "*AQU HELGESON" species by aqueousPotentialHelgeson; 0 for a species without
// a model keyword (and for an index that is no aqueous species).
// T = t + 273.1499938964844; water from e.fluidCache.water (the Haar
// routine).  Reported to e.events: a Haar density search that gave up
// (HaarWater), a result that is not a finite number (PhaseEnergy), and, as a
// notice, water less dense than kAqueousDensityLimit (AqueousLowDensity, with
// the density).
double AqueousGibbs(GibbsEvaluator& e, const PointState& at, int index, const ReactionTerms* reaction);

// Chemical potential (J/mol) of any loaded phase at the point: PhaseGibbs for
// minerals and gases, AqueousGibbs for aqueous species.
double ChemicalPotential(GibbsEvaluator& e, const PointState& at, int index, const ReactionTerms* reaction = nullptr);

// Gibbs energy change (J per mole of reaction) of `reaction` at the point as
// the sum of coefficient times ChemicalPotential over its phases (the form of
// the activity diagrams, which lets aqueous species take part; ReactionGibbs
// sums the database values first and applies the beta-quartz rule).
double ReactionGibbsBySpecies(GibbsEvaluator& e, const PointState& at, const ReactionTerms& reaction);

}  // namespace model
