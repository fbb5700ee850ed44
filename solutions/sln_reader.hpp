// Reading the solution-properties file (".SLN"): the solid-solution models,
// their sites, end-members, mixing variants, interaction terms and
// reciprocal sets.
#pragma once
#include <span>
#include <string>

#include "dialogs/pelkam_screens.hpp"
#include "records/status.hpp"
#include "records/streams.hpp"
#include "solutions/sln_format.hpp"
#include "solutions/solution_models.hpp"

namespace solutions {

// Reads the file `fileName` with parseSolutionModels (solutions/sln_format.hpp,
// which describes the layout rules and every message) and writes its
// messages to the unit `messages`.  The file is opened on kUnitSolutionFile
// and closed again.  An open failure returns an Error status whose `what` is
// "Error opening solution properties file: " followed by the name, and
// writes nothing.
records::Status readSolutionModels(const std::string& fileName, std::span<const int> variants,
                                   SolutionModelSet& set, records::Streams& streams, int messages = 6);

}  // namespace solutions
