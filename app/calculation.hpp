// The calculation of a run: for each composition set the plot file, the
// reactions (enumerated, chosen) and their curves.
#pragma once
#include "core/status.hpp"

namespace app {

struct RunContext;

// Reads the rows of calculated reactions that follow the answers in a
// replayed input (16 values per line, F8.1), to the end of the input.
core::Status readReplayedRows(RunContext& ctx);

// Steps 13 to 15 of the run: every composition set of the run.
core::Status calculateCompositionSets(RunContext& ctx);

}  // namespace app
