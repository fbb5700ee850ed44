// The database step of a run: element header, chemical system (the element
// line of the options or of the replayed input, recorded in the restart
// file) and the phases of the system; the solid-solution table of the
// master output.
#pragma once
#include <string>

#include "records/status.hpp"

namespace shell {

struct RunContext;

records::Status read_database(RunContext& ctx);
void write_solid_solution_table(RunContext& ctx, int phaseCount);

}  // namespace shell
