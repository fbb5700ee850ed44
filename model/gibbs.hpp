// Apparent Gibbs energy of phases and of reactions at a calculation point.
//
// Units: P in bar, T in kelvin inside the routines (the point holds degrees
// Celsius; T = t + 273.15 with 273.15 in single precision, 273.149993896484375,
// in PhaseGibbs and in the fluid routine; in double precision in
// ReactionGibbs), energies in J/mol, volumes in J/bar.  R = 8.3143 J/(mol K);
// reference state 298.15 K and 1 bar.
#pragma once
#include <array>

#include "model/fluid_choice.hpp"
#include "model/fluids.hpp"
#include "model/phase.hpp"
#include "model/range_events.hpp"
#include "model/solution_models.hpp"

namespace model {

constexpr double kR = 8.3143;
constexpr double kRLn10 = 19.144383238680394;
constexpr double kTr = 298.15;
constexpr double kKelvinSingle = 273.149993896484375;  // 273.15 held in single precision
constexpr int kFluidKinds = 11;  // mole fractions by kind 0..10 (1 H2O, 2 CO2, ...)

// The state of a calculation point: the conditions and the activities the
// energies are evaluated at.  A value; the routines only read it.
struct PointState {
    double P = 1;   // bar
    double t = 25;  // degrees C
    std::array<double, kFluidKinds> x{};  // mole fraction of each fluid kind
    FluidModelChoice fluid;
    bool otherGases = false;  // equations of state for oxygen, hydrogen and sulfur gas
    // log10 activity (or, of a gas, fugacity) of every phase of the table:
    // the activity chosen for it, or the value of its activity axis; 0 for a
    // pure phase.
    std::array<double, kMaxPhases> logActivity{};
};

// Result of one fluid evaluation.
struct FluidState {
    double phi = 1;       // fugacity coefficient
    double activity = 1;  // activity factor (mole fraction times activity coefficient)
    double volume = 0;    // cm3/mol
    double gibbs = 0;     // water Gibbs energy under the Haar routine, J/mol
    bool usable = true;   // false: a routine gave no usable value here (reported)
};

// A reaction: its participating phases with their coefficients
// (products positive) and the sums of the database values over them.
// Every loaded phase may take part (a hand-made coefficient vector can name
// more phases than the C + 1 of an enumerated reaction).
constexpr int kMaxReactionPhases = kMaxPhases;
struct ReactionTerms {
    int count = 0;
    std::array<int, kMaxReactionPhases> phase{};   // 0-based phase indices, in load order
    std::array<double, kMaxReactionPhases> coef{};
    double dH = 0, dS = 0, dV0 = 0;
    std::array<double, 7> dK{};
    std::array<double, kFluidKinds> kindCoef{};     // coefficients summed by fluid kind (1..10)
    // Coefficient of every loaded phase (0 for phases outside the reaction).
    std::array<double, kMaxPhases> all{};
};

// A phase takes part in a reaction when its coefficient exceeds this in magnitude.
constexpr double kTakesPart = 0.001;

// Builds the terms of a reaction from one coefficient per loaded phase
// (`table.count` entries, load order).  Phases listed in `excluded` (0-based
// indices, count `nExcluded`) take part but are left out of the sums of H, S,
// V0 and K0..K6 (activity-axis phases); they still count in `kindCoef`.
void makeReactionTerms(const PhaseTable& table, const double* coefficients, ReactionTerms& out,
                       const int* excluded = nullptr, int nExcluded = 0);

// What the property routines evaluate with: the phase table and the
// solution models (both read only), the caches of the fluid routines (the
// last water state and the last mixture), and where unusable evaluations are
// reported.  One per run (or per thread); the point is passed to every call.
struct GibbsEvaluator {
    const PhaseTable* table = nullptr;
    const SolutionModelSet* models = nullptr;
    FluidCache fluidCache;  // last water state and mixture result
    // Where the routines report points at which a fluid routine gives no
    // usable value or a phase's Gibbs energy is not finite; owned by the
    // caller (none: not collected).
    RangeEvents* events = nullptr;
};

// Reports an event at the point (nothing without a collector).
void ReportRangeEvent(GibbsEvaluator& e, const PointState& at, RangeSource source, int phase = -1);

// Apparent Gibbs energy of phase `index` (0-based) at the point, J/mol.
// `reaction` is the reaction the phase takes part in, for the special phases
// whose energy depends on the reaction's other phases (orthopyroxene with
// garnet or spinel and olivine, pyrrhotite with sulfur gas); none for a phase
// on its own.  A result that is not a finite number is reported (PhaseEnergy).
double PhaseGibbs(GibbsEvaluator& e, const PointState& at, int index, const ReactionTerms* reaction = nullptr);
// The same for a phase taken as a gas at unit fugacity: no equation of state
// and no activity term (the electron of the aqueous routines), J/mol.
double PhaseGibbsAsGas(GibbsEvaluator& e, const PointState& at, int index, const ReactionTerms* reaction = nullptr);
// Sum of the lambda-transition terms of a phase at (P bar, T K), J/mol.
double LambdaGibbs(const PhaseTable& table, const PhaseRecord& phase, double P, double T);
// Gibbs energy change of `reaction` at the point, J per mole of reaction.  A
// result that is not a finite number is reported, naming the phase of the
// reaction whose own energy is not finite (else the one of largest energy).
double ReactionGibbs(GibbsEvaluator& e, const PointState& at, const ReactionTerms& reaction);

// Fluid species (kind 1..10) at the point; `reuse` is the number of fluid
// kinds already evaluated at this point by the caller.  A routine that gives
// no usable value is reported (FluidState::usable false); the value it gives
// is returned all the same.
FluidState FluidProperties(GibbsEvaluator& e, const PointState& at, int kind, int reuse);
// Extra Gibbs energy of the special phases (J/mol) at (P bar, T K); the
// reaction-dependent ones look at the phases of `reaction`.
double SpecialPhaseGibbs(GibbsEvaluator& e, const PointState& at, double P, double T, SpecialPhase which,
                         const ReactionTerms* reaction);

// Non-stoichiometric pyrrhotite Fe(1-y)S in equilibrium with sulfur gas of
// log10 fugacity `logFS2` at (P bar, T K): the vacancy fraction y where
// g(y) = -W (1 - y)^2 - R T ln y, which falls steadily from +infinity at
// y = 0 to 0 at y = 1, meets the sulfur term Z (W = -185151 - 26.273 T
// J/mol).  The search walks up from 0.001 in steps of 0.01 and turns round
// with half the step on every change of sign of g - Z, until the residual
// is below 0.01 J or the step below 1e-6; y stays within [1e-6, 0.999].
struct PyrrhotiteComposition {
    double y = 0;     // vacancy fraction
    double iron = 1;  // 1 - y, the iron of the formula Fe(1-y)S
    double W = 0;     // J/mol
};
PyrrhotiteComposition pyrrhotiteComposition(double P, double T, double logFS2);

// Whether a phase of `kind` is evaluated as a fluid species: water and carbon
// dioxide always, the other gases (kinds 3 and up) only when their equations
// of state are switched on; a gas kept as an activity-axis variable never.
constexpr bool isFluidSpecies(int kind, bool otherGases) {
    return kind == kWater || kind == kCarbonDioxide ||
           (otherGases && kind > kCarbonDioxide && kind < kAxisGas);
}

// Gibbs energy of a disorder record at (P bar, T K): the heat-capacity
// disorder integral, or the albite ordering term when D0 and D1 are both
// below 0.001 in magnitude.  J/mol.
double DisorderGibbs(const DisorderRecord& d, double P, double T);

// Equilibrium state of the Landau model of albite (displacive order Q,
// Al-Si order Qod) at T kelvin, with its Gibbs energy, entropy and enthalpy
// (J/mol) and the number of evaluations the search used.  All zero at and
// above 1290 K.
struct AlbiteOrder {
    double Q = 0, Qod = 0;
    double G = 0, S = 0, H = 0;
    int evaluations = 0;
};
AlbiteOrder albiteOrdering(double T);

}  // namespace model
