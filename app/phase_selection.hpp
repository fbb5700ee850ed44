// Phase selection of a run: the end-member and phase-options screens (or
// their records in the replayed input), the activity axes, the compaction
// of the phase table, the notes on the master output, the basis and the
// links to the solution models.
#pragma once
#include <string>
#include <string_view>

#include "app/run_settings.hpp"
#include "calc/selection.hpp"
#include "core/status.hpp"
#include "io/streams.hpp"
#include "model/chemical_system.hpp"
#include "model/phase.hpp"
#include "model/solution_models.hpp"
#include "ui/pelkam_screens.hpp"

namespace app {

// What runEndMemberSelection's Error status says when a fluid phase was
// chosen with none of it in the fluid (its `why` is the message for the user).
constexpr const char* kFluidCompositionProblem = "fluid phase without fluid";

// Asks, phase by phase, how each loaded phase takes part in the run, and the
// activity axes; or reads the same answers from the replayed input (unit 5)
// when settings.inputFromFile is set.  An activity of 0 is refused (it would
// read as log10 a = 0), and so is an H2O or CO2 phase with none of it in the
// fluid: on the input-error screen, then the end-member screen again, or in a
// replay with a message and a stop.  Fills sel.optionCode and sel.activity
// for every loaded phase, sel.logActivity, the axes and the WATER and
// CARBON DIO indices, and writes the answers to the restart file (unit 10).
// Returns Quit when the user presses Exit/Quit, Stop after a fatal message.
core::Status runEndMemberSelection(ui::PelkamScreens& screens, io::Streams& streams,
                                      const RunSettings& settings, model::PhaseTable& phases,
                                      model::ChemicalSystem& system, calc::PhaseSelection& sel,
                                      model::SolutionModelSet& models);

// Axis labels, compaction of the phase table, the lists of all-reactions and
// projection phases, the master-output notes, the basis, the solution-model
// links, the activity listing and the solution-model screen, in that order.
core::Status prepareSelectedPhases(ui::PelkamScreens& screens, io::Streams& streams,
                                      const RunSettings& settings, model::PhaseTable& phases,
                                      model::ChemicalSystem& system, calc::PhaseSelection& sel,
                                      model::SolutionModelSet& models);

// ---- The steps, for the shell and the tests.

// An activity as typed: a text without a decimal point gets "." after its
// last non-blank character, then it is read as F10.5.  False when it does
// not read as a number.
bool readActivityText(std::string_view text, double& activity);
// The log10 activity of an activity as entered: positive values are
// activities, zero or negative values are log10 activities already.
double logActivityOf(double activity);

// A fluid species (H2O or CO2) that takes part in a run whose fluid holds
// none of it (P-T and activity diagrams; on T-xCO2 and P-xCO2 diagrams the
// fluid composition is the x axis): the message saying which mole fraction
// to set, or an empty string.
std::string fluidCompositionProblem(const RunSettings& settings, const model::PhaseTable& phases,
                                    const calc::PhaseSelection& sel);

// The two axis labels of the plot file by diagram type.
void setAxisLabels(int diagramType, calc::PhaseSelection& sel);

// Removes the excluded phases (code 1) from the phase table, keeping the
// order, and moves the code-4 phases behind all others.  The PhaseRecords,
// their stoichiometry rows and the selection's per-phase values move
// together; lambda and disorder record numbers stay valid.  Sets mainCount,
// testCount, the all-reactions and projection lists and the WATER, CARBON
// DIO and axis phase numbers.  Fewer than two phases left: a one-line message
// on `messages` and Stop, with the tables untouched.
core::Status compactSelection(model::PhaseTable& phases, model::ChemicalSystem& system, calc::PhaseSelection& sel,
                                 io::Streams& streams, int messages = 6);

// The notes on the phases in all reactions and the projection phases.
void writeSelectionNotes(io::Streams& streams, int unit, const model::PhaseTable& phases,
                         const calc::PhaseSelection& sel);

// Links every phase whose name up to its first blank is an end-member name of
// a model: activity link (model, end-member) and the reciprocal set the model
// owns.  The models with a linked phase get the slots of the solution-model
// screen (at most 8), in the order of their first linked phase; the phases of
// a model without a slot are not linked.
void linkSolutionModels(model::PhaseTable& phases, calc::PhaseSelection& sel, model::SolutionModelSet& models);

}  // namespace app
