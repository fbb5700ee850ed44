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

// The composition file while it is read, and the label scratch file "sm.tmp"
// (in memory; the plot header copies it).
constexpr int kUnitComposition = 15;
constexpr int kUnitLabels = 16;
constexpr const char* kLabelScratchName = "sm.tmp";

// Reads the composition file `fileName` for the models used in
// models.composition, in this order:
//   1. the solution-properties file again, now storing the interaction terms
//      of the chosen variants ("Error opening solution properties file: " on
//      the input-error screen: Continue tries again, Quit ends the run);
//   2. the composition file; when it cannot be opened `openFailed` is set and
//      the status is Ok (the caller retries or says so);
//   3. the file copied to the master output between "**ZUN FILE BEGINS**"
//      and "**ZUN FILE END**", 80 columns a line;
//   4. the labels: the file name, then per used model its abbreviation "="
//      variant keyword;
//   5. per used model in slot order: its value line (the first one with its
//      abbreviation), the site fractions set and, for a model that reduces
//      its excess to coefficients, the coefficients computed;
//   6. every phase linked to a used model checked: an end-member whose ideal
//      activity is below 1e-6 (or, for any model, an activity that is not
//      positive) stops the run with "**ERROR** X=0 for cation#  on site#  of "
//      and its name on the input-error screen, since the site fractions stay
//      fixed for the run;
//   7. readFixedActivities on the same file.
// A failure of 5 to 7 shows its message on the input-error screen, writes
// the file, line and field to the interactive output and returns Stop (Quit
// when Quit is pressed).
core::Status readCompositionFile(ui::PelkamScreens& screens, const std::string& fileName,
                                 const RunSettings& settings, model::PhaseTable& phases,
                                 std::span<double> logActivity, model::SolutionModelSet& models,
                                 io::Streams& streams, bool& openFailed);

// Applies the fixed-activity block of the composition file `fileName`: every
// phase whose name begins with a line's name gets its log10 activity in
// `logActivity` (one per phase), and each line becomes a label.  `failed` is set when the file cannot be opened,
// has no block or no "ENDFIX" (a file without the block is normal: the
// status is Ok).  A line of the block that cannot be read shows "Check format
// - error reading file: " with the name and returns Stop.
core::Status readFixedActivities(ui::PelkamScreens& screens, const std::string& fileName,
                                 const model::PhaseTable& phases, std::span<double> logActivity,
                                 model::SolutionModelSet& models, io::Streams& streams, bool& failed);

// Writes the labels of the composition file (models.composition) to the
// label scratch unit kUnitLabels ("sm.tmp", opened here) for the window
// (xmin..xmax, ymin..ymax, diagram coordinates); the first label gets line
// number 2.  Returns false, with nothing opened, when there are no labels.
bool writeCompositionLabels(io::Streams& streams, const model::SolutionModelSet& models, double xmin, double xmax,
                            double ymin, double ymax);

}  // namespace app
