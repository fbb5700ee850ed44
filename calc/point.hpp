// A point of the diagram: the diagram coordinates turned into a physical
// state (temperature, pressure, fluid composition, activities), and the
// Gibbs energy of a reaction there.
//
// Sign convention: the reaction Gibbs energy is the sum over the reaction's
// phases of coefficient times chemical potential (products positive); a
// negative value means the product side is stable.
#pragma once

#include <array>

#include "calc/options.hpp"
#include "calc/selection.hpp"
#include "model/gibbs.hpp"
#include "model/phase.hpp"

namespace calc {

struct DiagramState {
    double x = 0, y = 0;   // diagram coordinates
    double t = 25;         // degrees C
    double P = 1;          // bar
    double xCO2 = 0, xH2O = 0;
    double xThird = 0, xNaCl = 0;  // the two further fluid constituents, fixed for a run
};

// The evaluation of diagram points for one run: the options, phases and
// selection are read only (they must outlive the evaluator); the state of
// the current point and the stored energies of activity-activity diagrams
// belong to it, the caches of the property routines to the GibbsEvaluator.
class PointEvaluator {
public:
    PointEvaluator(const DiagramOptions& options, const model::PhaseTable& phases, const PhaseSelection& selection,
                   model::GibbsEvaluator& gibbs);

    // Sets the state from diagram coordinates by diagram type (also the
    // point of the Gibbs-energy routines and the axis phase activities).
    void setStateFromDiagram(double x, double y);
    // Gibbs energy change of `reaction` at the current state, J.
    double reactionDeltaG(const model::ReactionTerms& reaction);
    // Chemical potential of phase i at the current state, J/mol; `reaction`
    // is the reaction it is taken in (the special phases whose energy depends
    // on the reaction's other phases look at it), none for a phase on its own.
    double phasePotential(int i, const model::ReactionTerms* reaction = nullptr);
    // Activity-activity diagrams: the Gibbs energy of every phase at the
    // diagram's fixed T and P, computed once per run.
    void prepareFixedConditions();
    // Takes the log activities of the selection again (a composition file
    // read for a new composition set changes them).
    void useSelectedActivities();

    const DiagramState& state() const { return state_; }
    // The state of the current point as the property routines see it.
    const model::PointState& point() const { return point_; }
    model::GibbsEvaluator& gibbs() { return gibbs_; }

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
    void setAxisActivity(const AxisQuotient& axis, double logA);
    double potentialAt(const model::PointState& at, int i, const model::ReactionTerms* reaction);
    // Chemical potential of a member of an axis quotient (Act-T, Act-P) and
    // of an axis principal phase.
    double quotientPotential(const AxisQuotient& axis, double TK, const model::ReactionTerms& reaction);
    double quotientPotentialFixed(const AxisQuotient& axis, double TK, double TKs, const model::ReactionTerms& reaction);
    // The part of a stored (activity-activity) energy that changes per point:
    // the activity term and the reaction-dependent special-phase terms.
    double activityTerm(int i, double TKs) const;
    double perPointSpecial(int i, double TKs, const model::ReactionTerms& reaction);
    double sumActivityTypes(const model::ReactionTerms& reaction);
    double sumActivityActivity(const model::ReactionTerms& reaction);

    const DiagramOptions& options_;
    const model::PhaseTable& phases_;
    const PhaseSelection& sel_;
    model::GibbsEvaluator& gibbs_;
    DiagramState state_;
    model::PointState point_;
    std::array<double, model::kMaxPhases> fixedG_{};
    bool fixedReady_ = false;
    std::array<unsigned char, model::kMaxPhases> flags_{};  // PhaseRule bits per phase
    int flagsCount_ = -1;                                   // phase count the flags were made for
    bool aqueousSpecies_ = false;  // an aqueous species other than the electron is loaded
    double satP_ = -1, satT_ = 0;  // last pressure of the Act-P saturation mode and its temperature
};

// Saturation pressure of the Act-T saturation mode and the temperature of
// the Act-P saturation mode (the state lies 0.5 per cent into the liquid).
double saturationPressureMode(double tC);
double saturationTemperatureMode(double P);

}  // namespace calc
