// Mineral composition files (".ZUN", ".ZU1", ".ZU2", ".ZU3") as text: the
// measured site fractions of the solution models and the block of fixed
// phase activities.  Pure functions on the file's lines; nothing here opens
// a file, writes a stream or shows a screen (app/composition_run.hpp
// does that for a run).
//
// The file is a sequence of entries of two lines: a header line (free text;
// only its first four columns count) and a value line, layout
// (A4,1X,24F6.4): the model's four-character abbreviation (case and trailing
// blank count), one ignored column, then up to 24 values in six-column
// fields (F6.4: four implied decimals without a decimal point, a blank field
// reads 0): the site fractions of site 1 in the order of its cations in the
// solution-properties file, then those of site 2, and so on.  A header line
// that begins with the letters FIXE opens the fixed-activity block instead:
// lines "NAME=value" (columns 1-40, the value F10.6 from the ten columns
// after the "=") up to a line beginning "ENDFIX".  A positive value is an
// activity, zero or a negative one a log10 activity already.
#pragma once
#include <array>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/status.hpp"
#include "model/phase.hpp"
#include "model/solution_models.hpp"

namespace io {

constexpr int kMaxCompositionValues = 24;

// The site fractions of one model as read from its value line.
struct CompositionValues {
    int count = 0;                                     // values read (the model's site fractions)
    std::array<double, kMaxCompositionValues> values{};
    int line = 0;                                      // 1-based line of the value line
};

// The screen messages of the failures.
std::string missingCompositionMessage(std::string_view abbreviation);  // "ZUN file missing compositions for " + abbreviation
constexpr const char* kNoEndfixMessage = "No ENDFIX statement in ZUN file - try again";
std::string formatErrorMessage(std::string_view fileName);  // "Check format - error reading file: " + name

// Finds the site fractions of the model `abbreviation` (4 characters) in
// the lines of a composition file: from the start, header line, then value
// line; a header line beginning with FIXE (any letter case) is a
// fixed-activity block, skipped up to a line beginning with ENDF (any letter
// case), after which a header line follows.  The first value line with the
// abbreviation is taken; `valueCount` values are read from it (missing ones
// read 0).  Value lines of other models are not read.
// Failures (Stop status, `what` the message a user sees, the file, line,
// field and value filled, `why` saying more):
//   no such value line before the end: missingCompositionMessage;
//   a fixed-activity block without its ENDF line: kNoEndfixMessage;
//   a value that cannot be read, a negative value, or more than 24 values
//   asked for: formatErrorMessage.
core::Status findComposition(std::span<const std::string> lines, const std::string& fileName,
                                std::string_view abbreviation, int valueCount, CompositionValues& out);

// The number of site fractions of a model (the cations of all its sites).
int siteFractionCount(const model::SolutionModel& m);
// Sets X(c, s) of the model from values in the file's order (site 1's
// cations, then site 2's, ...); X(0, s) = 1; values beyond the count are
// ignored, missing ones are 0.
void setSiteFractions(model::SolutionModel& m, const CompositionValues& values);

// One line of the fixed-activity block.
struct FixedActivity {
    std::string name;         // the text before the "=": every phase whose name begins with it
    double logActivity = 0;   // log10 activity
    std::string text;         // the line, 40 columns (the plot label)
    int line = 0;             // 1-based line number
};
struct FixedActivityBlock {
    bool found = false;  // an opening line FIXE (upper or lower case, columns 1-4) was found
    bool ended = false;  // ... and its "ENDFIX" line
    std::vector<FixedActivity> entries;
};

// Reads the fixed-activity block of a composition file: lines up to one
// whose columns 1-4 are FIXE (upper or lower case), then lines of 40 columns
// up to one beginning "ENDFIX".  Without an opening or an ENDFIX line the
// status is Ok and `found` / `ended` say so (a file without the block is
// normal).  A line of the block without "=", with nothing before the "=", or
// whose value cannot be read with F10.6 is a failure: Stop with
// formatErrorMessage, file, line, field and value.
core::Status parseFixedActivities(std::span<const std::string> lines, const std::string& fileName,
                                     FixedActivityBlock& out);

// Applies the block: every phase of `phases` whose name begins with an
// entry's name (compared with letter case) gets its log10 activity in
// `logActivity` (one per phase); later lines win.  Returns the number of
// phase settings made.
int applyFixedActivities(const model::PhaseTable& phases, const FixedActivityBlock& block,
                         std::span<double> logActivity);

// Plot labels of the composition file: the record "    1", then
// (4F10.3,5X,A40) with x = xmax - (xmax - xmin)/3, y = ymax - n (ymax -
// ymin)/30, the text height 0.2, the angle 0 and the 40-character text; n is
// the label's line number (2 for the first label of the composition file).
std::array<std::string, 2> compositionLabelRecords(double xmin, double xmax, double ymin, double ymax, int n,
                                                   std::string_view text);
// The label of a model used with its variant: abbreviation, "=", keyword.
std::string modelLabel(const model::SolutionModel& m);

}  // namespace io
