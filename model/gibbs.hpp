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

// The conditions of the current calculation point.
struct PointState {
    double P = 1;   // bar
    double t = 25;  // degrees C
    std::array<double, kFluidKinds> x{};  // mole fraction of each fluid kind
    model::FluidModelChoice fluid;
    bool otherGases = false;  // equations of state for oxygen, hydrogen and sulfur gas
};

// Result of one fluid evaluation.
struct FluidState {
    double phi = 1;       // fugacity coefficient
    double activity = 1;  // activity factor (mole fraction times activity coefficient)
    double volume = 0;    // cm3/mol
    double gibbs = 0;     // water Gibbs energy under the Haar routine, J/mol
    bool usable = true;   // false: a routine gave no usable value here (reported)
};

// The current reaction: its participating phases with their coefficients
// (products positive) and the sums of the database values over them.
// Every loaded phase may take part (a hand-made coefficient vector can name
// more phases than the C + 1 of an enumerated reaction).
constexpr int kMaxReactionPhases = model::kMaxPhases;
struct ReactionTerms {
    int count = 0;
    std::array<int, kMaxReactionPhases> phase{};   // 0-based phase indices, in load order
    std::array<double, kMaxReactionPhases> coef{};
    double dH = 0, dS = 0, dV0 = 0;
    std::array<double, 7> dK{};
    std::array<double, kFluidKinds> kindCoef{};     // coefficients summed by fluid kind (1..10)
    // Coefficient of every loaded phase (0 for phases outside the reaction).
    std::array<double, model::kMaxPhases> all{};
};

// A phase takes part in a reaction when its coefficient exceeds this in magnitude.
constexpr double kTakesPart = 0.001;

// Builds the terms of a reaction from one coefficient per loaded phase
// (`table.count` entries, load order).  Phases listed in `excluded` (0-based
// indices, count `nExcluded`) take part but are left out of the sums of H, S,
// V0 and K0..K6 (activity-axis phases); they still count in `kindCoef`.
void makeReactionTerms(const model::PhaseTable& table, const double* coefficients, ReactionTerms& out,
                       const int* excluded = nullptr, int nExcluded = 0);

// Explicit per-run state of the property routines: the phase table, the
// solution models, the current point and reaction, and the caches.
struct GibbsContext {
    const model::PhaseTable* table = nullptr;
    const model::SolutionModelSet* models = nullptr;
    PointState point;
    const ReactionTerms* reaction = nullptr;
    double currentReactionGibbs = 0;  // the last result of ReactionGibbs
    double pyrrhotiteComposition = 0;  // 1 - y of the last pyrrhotite evaluation
    FluidCache fluidCache;             // last water state and mixture result
    // Where the routines report points at which a fluid routine gives no
    // usable value or a phase's Gibbs energy is not finite; owned by the
    // caller (none: not collected).
    RangeEvents* events = nullptr;
};

// Reports an event at the context's current point (nothing without a
// collector).
void ReportRangeEvent(GibbsContext& ctx, RangeSource source, int phase = -1);

// Apparent Gibbs energy of phase `index` (0-based) at the current point, J/mol.
// A result that is not a finite number is reported (PhaseEnergy).
double PhaseGibbs(GibbsContext& ctx, int index);
// The database values of a phase alone at (P bar, T K), J/mol: H - T S, the
// heat-capacity integrals, the volume integral and V0 (P - 1), summed as
// PhaseGibbs sums them (no fluid, activity, disorder, special-phase,
// solution-model or lambda terms).
double StandardStateGibbs(const model::PhaseRecord& p, double P, double T);
// Sum of the lambda-transition terms of a phase at (P bar, T K), J/mol.
double LambdaGibbs(const model::PhaseTable& table, const model::PhaseRecord& phase, double P, double T);
// Gibbs energy change of the current reaction (ctx.reaction) at the current
// point, J per mole of reaction; also stored in ctx.currentReactionGibbs.
// A result that is not a finite number is reported, naming the phase of the
// reaction whose own energy is not finite (else the one of largest energy).
double ReactionGibbs(GibbsContext& ctx);

// Fluid species (kind 1..10) at the current point; `reuse` is the number of
// fluid kinds already evaluated at this point by the caller.  A routine that
// gives no usable value is reported (FluidState::usable false); the value it
// gives is returned all the same.
FluidState FluidProperties(GibbsContext& ctx, int kind, int reuse);
// Extra Gibbs energy of the special phases (J/mol).
double SpecialPhaseGibbs(GibbsContext& ctx, double P, double T, model::SpecialPhase which);

// Whether a phase of `kind` is evaluated as a fluid species: water and carbon
// dioxide always, the other gases (kinds 3 and up) only when their equations
// of state are switched on; a gas kept as an activity-axis variable never.
constexpr bool isFluidSpecies(int kind, bool otherGases) {
    return kind == model::kWater || kind == model::kCarbonDioxide ||
           (otherGases && kind > model::kCarbonDioxide && kind < model::kAxisGas);
}

// Gibbs energy of a disorder record at (P bar, T K): the heat-capacity
// disorder integral, or the albite ordering term when D0 and D1 are both
// below 0.001 in magnitude.  J/mol.
double DisorderGibbs(const model::DisorderRecord& d, double P, double T);

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
