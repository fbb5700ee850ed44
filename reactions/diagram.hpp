// A point of the diagram: the diagram coordinates turned into a physical
// state (temperature, pressure, fluid composition, activities), and the
// Gibbs energy of the current reaction there.
//
// Sign convention: the reaction Gibbs energy is the sum over the reaction's
// phases of coefficient times chemical potential (products positive); a
// negative value means the product side is stable.
#pragma once

#include "props/gibbs.hpp"
#include "props/water.hpp"
#include "records/run_settings.hpp"
#include "solutions/selection.hpp"
#include "thermodb/phase.hpp"

namespace reactions {

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
    PointEvaluator(const records::RunSettings& settings, thermodb::PhaseTable& phases,
                   const solutions::PhaseSelection& selection, props::GibbsContext& gibbs);

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
    props::GibbsContext& gibbs() { return gibbs_; }

private:
    const records::RunSettings& rs_;
    thermodb::PhaseTable& phases_;
    const solutions::PhaseSelection& sel_;
    props::GibbsContext& gibbs_;
    DiagramState state_;
    props::WaterCache water_;  // water volume for the aqueous species
    std::array<double, thermodb::kMaxPhases> fixedG_{};
};

// Saturation pressure of the Act-T saturation mode and the temperature of
// the Act-P saturation mode (the state lies 0.5 per cent into the liquid).
double saturationPressureMode(double tC);
double saturationTemperatureMode(double P);

// Dielectric constant of water at TK (K) and density rho (g/cm3).
double waterDielectricConstant(double TK, double rho);

// Chemical potentials of aqueous species (J/mol) at TK (K), P (bar) and water
// density rho (g/cm3) with dielectric constant eps.
double aqueousPotentialTanger(const thermodb::PhaseRecord& p, double TK, double P, double eps);
double aqueousPotentialHelgeson(const thermodb::PhaseRecord& p, double TK, double P, double eps);

}  // namespace reactions
