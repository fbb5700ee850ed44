// Reading the solution-properties file (".SLN"): the solid-solution models,
// their sites, end-members, mixing variants, interaction terms and
// reciprocal sets.
#pragma once
#include <span>
#include <string>

#include "core/status.hpp"
#include "io/sln_format.hpp"
#include "io/streams.hpp"
#include "model/solution_models.hpp"

namespace io {

// Reads the file `fileName` with parseSolutionModels (io/sln_format.hpp,
// which describes the layout rules and every message) and writes its
// messages to the unit `messages`.  The file is opened on kUnitSolutionFile
// and closed again.  An open failure returns an Error status whose `what` is
// "Error opening solution properties file: " followed by the name, and
// writes nothing.
core::Status readSolutionModels(const std::string& fileName, std::span<const int> variants,
                                   model::SolutionModelSet& set, Streams& streams, int messages = 6);

}  // namespace io
