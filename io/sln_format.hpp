// The solution-properties file (".SLN") as text: the solid-solution models,
// their sites, end-members, mixing variants, interaction terms and
// reciprocal sets, parsed from the file's lines.  No file is opened and
// nothing is written here; io/sln_reader.hpp reads the file.
#pragma once
#include <span>
#include <string>
#include <vector>

#include "core/status.hpp"
#include "model/solution_models.hpp"

namespace io {

// Parses `lines` (the file's lines without line ends; `fileName` names the
// file in messages) into `set`: the models, their count and the reciprocal
// sets (`set.composition` is left alone).  `variants[m]` is the 1-based
// mixing variant chosen for model m+1 (0 or absent: none); only the
// interaction lines of that variant are stored, and it becomes the model's
// selectedMixingModel.  Reading ends at the end of the lines, at a header
// whose first four columns are blank, or after the twelfth model (a further
// model is said in `messages`, not read).
//
// Every failure appends its message block to `messages` and returns Stop,
// with the file, line and field in the status:
//   - a line that cannot be read with its layout: "Error reading file
//     Solution Properties from " + the name (30 characters), then a line
//     naming the line, the field and the text;
//   - the table limits (more than 8 end-members, 5 mixing variants, 20
//     interaction lines in the chosen variant, 6 cations on a site, 4 terms
//     in a reciprocal set, 4 reciprocal sets; a cation count larger than the
//     site multiplicity, which leaves no divisor; no END line within 100
//     interaction lines): the same first line and a line saying which limit;
//   - the end of the lines inside a model block (after its header, before its
//     site line and end-member lines are complete, or inside an interaction
//     list before its END line): the same first line and a line saying where
//     (the line number is the file's last line);
//   - an end-member cation that is not one of its site's cations: "Cannot
//     match cation in " + model abbreviation + " component of " + the first
//     four characters of the end-member name, then " Site: " + the site
//     number + " Possible cations: " + the site's first five symbols +
//     " Component cations: " + the end-member's first five symbols on that
//     site, and a line naming the file line.
// The end of the lines where a keyword line or a further reciprocal term
// could stand ends the last model normally.
core::Status parseSolutionModels(std::span<const std::string> lines, const std::string& fileName,
                                    std::span<const int> variants, model::SolutionModelSet& set,
                                    std::vector<std::string>& messages);

}  // namespace io
