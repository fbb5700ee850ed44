// Aqueous species: the dielectric constant of water and the chemical
// potentials of the two revised equations of state of the database (the
// "*AQU HELGESON" and "*AQU TANGER" sections).
//
// Units: T in kelvin, P in bar, water density in g/cm3, energies in J/mol.
// Parameters by slot of the phase record (the loader's order for the aqueous
// sections): K0 theta (K), K5 c1, K2 c2, K1 omega, K4 psi (bar); V1..V4 a1..a4.
#pragma once

#include "model/gibbs.hpp"
#include "model/phase.hpp"

namespace model {

// Dielectric constant of water at TK and density rho: the polynomial
// sum over i + j <= 4 of C[i][j] TK^i rho^j (78.464 at 298.15 K and
// 0.997047 g/cm3).
double waterDielectricConstant(double TK, double rho);

// Standard chemical potential of a species of the Tanger and Helgeson (1988)
// revised equation of state at (TK, P) with the dielectric constant `eps`;
// theta = 0 and psi = 0 in the data stand for 228 K and 2600 bar.  The
// activity term is not included.
double aqueousPotentialTanger(const PhaseRecord& p, double TK, double P, double eps);

// Chemical potential of a species of the Helgeson, Kirkham and Flowers (1981)
// form at (TK, P) with the dielectric constant `eps`, including its activity
// term R ln10 TK logActivity.
double aqueousPotentialHelgeson(const PhaseRecord& p, double TK, double P, double eps, double logActivity);

// Chemical potential of aqueous species `index` of the evaluator's table at
// the point, J/mol: the Helgeson or Tanger form (with the species' activity),
// the water density from the Haar equation at the point; the electron ("E-")
// half the energy of a gas at unit fugacity.  0 for a species of neither form.
// A result that is not a finite number is reported (PhaseEnergy).
double AqueousGibbs(GibbsEvaluator& e, const PointState& at, int index, const ReactionTerms* reaction);

// Whether a phase name is the electron's: "E-" or "e-", blanks after it.
bool isElectronName(const std::string& name);

}  // namespace model
