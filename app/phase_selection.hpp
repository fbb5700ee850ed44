// Phase selection of a run: the end-member and phase-options screens (or
// their records in the replayed input), the activity axes, the compaction
// of the phase table, the notes on the master output, the basis and the
// links to the solution models.
#pragma once
#include <string>
#include <string_view>

#include "app/run_settings.hpp"
#include "calc/run_request.hpp"
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
// CARBON DIO indices, and the answers in `request.phases`.
// Returns Quit when the user presses Exit/Quit, Stop after a fatal message.
core::Status runEndMemberSelection(ui::PelkamScreens& screens, io::Streams& streams, const RunSettings& settings,
                                   model::PhaseTable& phases, calc::PhaseSelection& sel, calc::RunRequest& request);

// Axis labels, compaction of the phase table, the lists of all-reactions and
// projection phases, the master-output notes, the basis, the solution-model
// links, the activity listing and the solution-model screen, in that order.
core::Status prepareSelectedPhases(ui::PelkamScreens& screens, io::Streams& streams, const RunSettings& settings,
                                   model::PhaseTable& phases, model::ChemicalSystem& system, calc::PhaseSelection& sel,
                                   model::SolutionModelSet& models, calc::RunRequest& request);

}  // namespace app
