// The solution-model screen: which solution models (and which mixing
// variant of each) the run uses, and the composition file that gives their
// site fractions; the choice is recorded in the restart file.
#pragma once
#include <string>

#include "app/composition_run.hpp"
#include "app/run_settings.hpp"
#include "calc/selection.hpp"
#include "core/status.hpp"
#include "io/streams.hpp"
#include "model/phase.hpp"
#include "model/solution_models.hpp"
#include "ui/pelkam_screens.hpp"

namespace app {

// Runs the solution-model screen over the slots that linkSolutionModels set
// in models.composition (or reads the same choice from the replayed input),
// switches the phases' solution-model links on for the models used and off
// for the others, lists the slots on the interactive output, reads the
// composition file through readCompositionFile (app/composition_run.hpp,
// with its fixed activities) when a model is used, and
// writes the restart records:
//   one line (A40,5X,A25): the composition file name (blank when no model is
//   used) and "FILE OF MINERAL COMPS";
//   one line per slot (A1,1X,A8,1X,A20): 'Y' or 'N', the variant keyword (the
//   model's first variant for a slot not used), the model name.
// Sets models.composition (fileName, slots, anyModelUsed) and each model's
// selectedMixingModel.  Returns Quit on Exit/Quit, Stop after a fatal
// message.
core::Status runSolutionModelScreen(ui::PelkamScreens& screens, io::Streams& streams,
                                       const RunSettings& settings, model::PhaseTable& phases,
                                       calc::PhaseSelection& sel, model::SolutionModelSet& models);

// The "Filename:" default: the path (up to its first blank) when a path is in
// use, else the composition file of the database version: "zuntest.zun"
// (version 0), "zuntest.zu1" (1), "zuntest.zu2" (2).
std::string defaultCompositionFileName(const RunSettings& settings);

}  // namespace app
