// Reading the solution-properties file (".SLN"): the solid-solution models,
// their sites, end-members, mixing variants, interaction terms and
// reciprocal sets.
#pragma once
#include <span>
#include <string>

#include "dialogs/pelkam_screens.hpp"
#include "records/status.hpp"
#include "records/streams.hpp"
#include "solutions/solution_models.hpp"

namespace solutions {

// Reads the file `fileName` into `set` (the models, their count and the
// reciprocal sets; `set.composition` is left alone).  `variants[m]` is the
// 1-based mixing variant chosen for model m+1 (0 or absent: none); only the
// interaction lines of that variant are stored, and it becomes the model's
// selectedMixingModel.  Reading ends at the end of the file, at a header
// whose first four columns are blank, or after the twelfth model.
//
// The file is opened on kUnitSolutionFile and closed again.  An open failure
// returns an Error status whose `what` is "Error opening solution
// properties file: " followed by the name, and writes nothing.
//
// Every other failure writes its message block to `messages` and returns
// Stop, with the file, line and field in the status:
//   - a line that cannot be read with its layout: "Error reading file
//     Solution Properties from " + the name (30 characters), then a line
//     naming the line, the field and the text;
//   - the table limits (more than 8 end-members, 5 mixing variants, 20
//     interaction lines in the chosen variant, 6 cations on a site, 4 terms
//     in a reciprocal set, 4 reciprocal sets; a cation count larger than the
//     site multiplicity, which leaves no divisor; no END line within 100
//     interaction lines): the same first line and a line saying which limit;
//   - an end-member cation that is not one of its site's cations: "Cannot
//     match cation in " ... as the file format describes, and the file line.
// The end of the file inside a model block (before its end-member lines are
// complete, or inside an interaction list) ends the reading there: that model
// is dropped, the models before it are kept, and a warning line naming the
// file and the model goes to `messages`.  The end of the file where a keyword
// line or a further reciprocal term could stand just ends the last model.
records::Status readSolutionModels(const std::string& fileName, std::span<const int> variants,
                                   SolutionModelSet& set, records::Streams& streams, int messages = 6);

}  // namespace solutions
