// Phase selection of a run: the end-member and phase-options screens (or
// their records in the replayed input), the activity axes, the compaction
// of the phase table, the notes on the master output, the basis and the
// links to the solution models.
#pragma once
#include <string>
#include <string_view>

#include "dialogs/pelkam_screens.hpp"
#include "records/run_settings.hpp"
#include "records/status.hpp"
#include "records/streams.hpp"
#include "solutions/selection.hpp"
#include "solutions/solution_models.hpp"
#include "thermodb/chemical_system.hpp"
#include "thermodb/phase.hpp"

namespace solutions {

// What runEndMemberSelection's Error status says when a fluid phase was
// chosen with none of it in the fluid (its `why` is the message for the user).
constexpr const char* kFluidCompositionProblem = "fluid phase without fluid";

// Asks, phase by phase, how each loaded phase takes part in the run, and the
// activity axes; or reads the same answers from the replayed input (unit 5)
// when settings.inputFromFile is set.  An activity of 0 is refused (it would
// read as log10 a = 0), and so is an H2O or CO2 phase with none of it in the
// fluid: on the input-error screen, then the end-member screen again, or in a
// replay with a message and a stop.  Fills sel.optionCode and sel.activity
// for every loaded phase, phases[i].logActivity, the axes and the WATER and
// CARBON DIO indices, and writes the answers to the restart file (unit 10).
// Returns Quit when the user presses Exit/Quit, Stop after a fatal message.
records::Status runEndMemberSelection(dialogs::PelkamScreens& screens, records::Streams& streams,
                                      const records::RunSettings& settings, thermodb::PhaseTable& phases,
                                      thermodb::ChemicalSystem& system, PhaseSelection& sel,
                                      SolutionModelSet& models);

// Axis labels, compaction of the phase table, the lists of all-reactions and
// projection phases, the master-output notes, the basis, the solution-model
// links, the activity listing and the solution-model screen, in that order.
records::Status prepareSelectedPhases(dialogs::PelkamScreens& screens, records::Streams& streams,
                                      const records::RunSettings& settings, thermodb::PhaseTable& phases,
                                      thermodb::ChemicalSystem& system, PhaseSelection& sel,
                                      SolutionModelSet& models);

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
std::string fluidCompositionProblem(const records::RunSettings& settings, const thermodb::PhaseTable& phases,
                                    const PhaseSelection& sel);

// The two axis labels of the plot file by diagram type.
void setAxisLabels(int diagramType, PhaseSelection& sel);

// Removes the excluded phases (code 1) from the phase table, keeping the
// order, and moves the code-4 phases behind all others.  The PhaseRecords,
// their stoichiometry rows and the selection's per-phase values move
// together; lambda and disorder record numbers stay valid.  Sets mainCount,
// testCount, the all-reactions and projection lists and the WATER, CARBON
// DIO and axis phase numbers.  Fewer than two phases left: a one-line message
// on `messages` and Stop, with the tables untouched.
records::Status compactSelection(thermodb::PhaseTable& phases, thermodb::ChemicalSystem& system, PhaseSelection& sel,
                                 records::Streams& streams, int messages = 6);

// The notes on the phases in all reactions and the projection phases.
void writeSelectionNotes(records::Streams& streams, int unit, const thermodb::PhaseTable& phases,
                         const PhaseSelection& sel);

// Links every phase whose name up to its first blank is an end-member name of
// a model: activity link (model, end-member) and the reciprocal set the model
// owns.  The models with a linked phase get the slots of the solution-model
// screen (at most 8), in the order of their first linked phase; the phases of
// a model without a slot are not linked.
void linkSolutionModels(thermodb::PhaseTable& phases, PhaseSelection& sel, SolutionModelSet& models);

}  // namespace solutions
