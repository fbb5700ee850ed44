// The composition file in a run: read after the solution-model screen (and
// for every composition set of a batch line), its site fractions and fixed
// activities applied to the run's models and phases, its labels kept for the
// plot file.  This is the run's edge: it opens the files on numbered units,
// writes the interactive and master outputs and shows the input-error
// screen; the parsing itself is in io/composition_file.hpp and the
// activities in model/activity.hpp.
#pragma once
#include <span>
#include <string>

#include "app/run_settings.hpp"
#include "core/status.hpp"
#include "io/streams.hpp"
#include "model/phase.hpp"
#include "model/solution_models.hpp"
#include "ui/pelkam_screens.hpp"

namespace app {

// The composition file while it is read, and the label scratch file
// (io::kLabelScratchName).
constexpr int kUnitComposition = 15;
constexpr int kUnitLabels = 16;

// Reads the composition file `fileName` for the models used in
// models.composition, in this order:
//   1. the solution-properties file again, now storing the interaction terms
//      of the chosen variants ("Error opening solution properties file: " on
//      the input-error screen: Continue tries again, Quit ends the run);
//   2. the composition file; when it cannot be opened `openFailed` is set and
//      the status is Ok (the caller retries or says so);
//   3. the file copied to the master output between "**ZUN FILE BEGINS**"
//      and "**ZUN FILE END**", 80 columns a line;
//   4-7. io::applyCompositionFile: the labels, the site fractions of every
//      used model, the activity of every end-member of the run and the
//      fixed-activity block.
// A failure of 4 to 7 shows its message on the input-error screen, writes
// the file, line and field to the interactive output and returns Stop (Quit
// when Quit is pressed).
core::Status readCompositionFile(ui::PelkamScreens& screens, const std::string& fileName,
                                 const RunSettings& settings, model::PhaseTable& phases,
                                 std::span<double> logActivity, model::SolutionModelSet& models,
                                 io::Streams& streams, bool& openFailed);

}  // namespace app
