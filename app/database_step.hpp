// The database step of a run: element header, chemical system (the element
// line of the options or of the replayed input, recorded in the restart
// file) and the phases of the system; the solid-solution table of the
// master output.
#pragma once
#include <string>

#include "core/status.hpp"

namespace app {

struct RunContext;

// Where the cause of a failed database step lies: in the data files, or in
// the elements chosen on the options screen (an element the database does
// not know, more than 15 of them, fewer than two phases or more than 100
// phases of the database with only these elements), which the user can
// choose again.
enum class DatabaseFault { DataFile, ElementChoice };

core::Status readDatabase(RunContext& ctx, DatabaseFault* fault = nullptr);
void writeSolidSolutionTable(RunContext& ctx, int phaseCount);

}  // namespace app
