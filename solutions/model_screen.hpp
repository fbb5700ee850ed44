// The solution-model screen: which solution models (and which mixing
// variant of each) the run uses, and the composition file that gives their
// site fractions; the choice is recorded in the restart file.
#pragma once
#include <string>

#include "dialogs/pelkam_screens.hpp"
#include "records/run_settings.hpp"
#include "records/status.hpp"
#include "records/streams.hpp"
#include "solutions/selection.hpp"
#include "solutions/solution_models.hpp"
#include "thermodb/phase.hpp"

namespace solutions {

// Runs the solution-model screen over the slots that linkSolutionModels set
// in models.composition (or reads the same choice from the replayed input),
// switches the phases' solution-model links on for the models used and off
// for the others, lists the slots on the interactive output, reads the
// composition file through readCompositionFile when a model is used, and
// writes the restart records:
//   one line (A40,5X,A25): the composition file name (blank when no model is
//   used) and "FILE OF MINERAL COMPS";
//   one line per slot (A1,1X,A8,1X,A20): 'Y' or 'N', the variant keyword (the
//   model's first variant for a slot not used), the model name.
// Sets models.composition (fileName, slots, anyModelUsed) and each model's
// selectedMixingModel.  Returns Quit on Exit/Quit, Stop after a fatal
// message.
records::Status runSolutionModelScreen(dialogs::PelkamScreens& screens, records::Streams& streams,
                                       const records::RunSettings& settings, thermodb::PhaseTable& phases,
                                       PhaseSelection& sel, SolutionModelSet& models);

// Hook for the reading of the composition file (site fractions of the used
// models, their excess coefficients, the fixed-activity block and the plot
// labels).  That reading is not built yet: this only opens the file (a name
// that differs from the file's in letter case only finds it) and sets
// `openFailed` when it cannot.
records::Status readCompositionFile(dialogs::PelkamScreens& screens, const std::string& fileName,
                                    const records::RunSettings& settings, thermodb::PhaseTable& phases,
                                    SolutionModelSet& models, records::Streams& streams, bool& openFailed);

// The "Filename:" default: the path (up to its first blank) when a path is in
// use, else the composition file of the database version: "zuntest.zun"
// (version 0), "zuntest.zu1" (1), "zuntest.zu2" (2).
std::string defaultCompositionFileName(const records::RunSettings& settings);

}  // namespace solutions
