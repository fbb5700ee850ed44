// A point of the diagram: the diagram coordinates turned into a physical
// state (temperature, pressure, fluid composition, activities), and the
// Gibbs energy of the current reaction there.
//
// Sign convention: the reaction Gibbs energy is the sum over the reaction's
// phases of coefficient times chemical potential (products positive); a
// negative value means the product side is stable.
#pragma once

#include <array>

#include "app/run_settings.hpp"
#include "calc/selection.hpp"
#include "model/gibbs.hpp"
#include "model/phase.hpp"
#include "model/water.hpp"

namespace calc {

struct DiagramState {
    double x = 0, y = 0;   // diagram coordinates
    double t = 25;         // degrees C
    double P = 1;          // bar
    double xCO2 = 0, xH2O = 0;
    double xThird = 0, xNaCl = 0;  // the two further fluid constituents, fixed for a run
};

// Everything the evaluation of a point needs, by reference; owned by the run.
class PointEvaluator {
public:
    PointEvaluator(const app::RunSettings& settings, model::PhaseTable& phases,
                   const calc::PhaseSelection& selection, model::GibbsContext& gibbs);

    // Sets the state from diagram coordinates by diagram type (also the
    // point of the Gibbs-energy routines and the axis phase activities).
    void setStateFromDiagram(double x, double y);
    // Gibbs energy change of the current reaction (gibbs().reaction) at the
    // current state, J; also left as gibbs().currentReactionGibbs.
    double reactionDeltaG();
    // Chemical potential of phase i at the current state, J/mol.
    double phasePotential(int i);
    // Activity-activity diagrams: the Gibbs energy of every phase at the
    // diagram's fixed T and P, computed once per run.
    void prepareFixedConditions();

    const DiagramState& state() const { return state_; }
    model::GibbsContext& gibbs() { return gibbs_; }

    // Recognises, once, the phases that need a rule of their own (the
    // electron, pyrrhotite, the reaction-dependent special phases).  The
    // constructor and prepareFixedConditions call it; call it again after the
    // phase table has been loaded or compacted if the evaluator already exists.
    // (A changed phase count is noticed on its own.)
    void preparePhases();
    // The mole fractions of the third fluid species and of NaCl, fixed for a
    // run (0 unless set); the T-xCO2 and P-xCO2 diagrams leave the rest to water.
    void setFurtherFluid(double xThird, double xNaCl) {
        state_.xThird = xThird;
        state_.xNaCl = xNaCl;
    }
    // Whether prepareFixedConditions has run (activity-activity diagrams
    // prepare on their first evaluation otherwise).  The stored energies
    // include the solution-model terms, so a new composition set needs a new
    // prepareFixedConditions.
    bool fixedConditionsReady() const { return fixedReady_; }

private:
    // Temperature (C) and pressure (bar) of the fixed-condition modes.
    double pressureByMode(double tC) const;
    double temperatureByMode(double P);
    void applyPoint();
    void setAxisActivity(const calc::AxisQuotient& axis, double logA);
    // Chemical potential of a member of an axis quotient (Act-T, Act-P) and
    // of an axis principal phase.
    double quotientPotential(const calc::AxisQuotient& axis, double TK);
    double quotientPotentialFixed(const calc::AxisQuotient& axis, double TK, double TKs);
    // The part of a stored (activity-activity) energy that changes per point:
    // the activity term and the reaction-dependent special-phase terms.
    double activityTerm(int i, double TKs) const;
    double perPointSpecial(int i, double TKs);
    double sumActivityTypes();
    double sumActivityActivity();

    const app::RunSettings& rs_;
    model::PhaseTable& phases_;
    const calc::PhaseSelection& sel_;
    model::GibbsContext& gibbs_;
    DiagramState state_;
    std::array<double, model::kMaxPhases> fixedG_{};
    bool fixedReady_ = false;
    std::array<unsigned char, model::kMaxPhases> flags_{};  // PhaseRule bits per phase
    int flagsCount_ = -1;                                       // phase count the flags were made for
    bool aqueousSpecies_ = false;  // an aqueous species other than the electron is loaded
    double satP_ = -1, satT_ = 0;  // last pressure of the Act-P saturation mode and its temperature
};

// Saturation pressure of the Act-T saturation mode and the temperature of
// the Act-P saturation mode (the state lies 0.5 per cent into the liquid).
double saturationPressureMode(double tC);
double saturationTemperatureMode(double P);

}  // namespace calc
