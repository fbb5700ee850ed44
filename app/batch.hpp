// Batch runs: batch.dat lines, the names of a batch run, composition lists
// and the log klv.log.
#pragma once
#include <functional>
#include <string>
#include <string_view>

#include "app/run_settings.hpp"
#include "core/status.hpp"

namespace app {

struct RunContext;

// Splits one batch.dat line (80 columns) into its fields.  Returns false
// when the line has no run name (field 2 blank).
bool parseBatchLine(std::string_view line, BatchLine& out);

// The directory prefix of a batch line (up to its first two blanks).
std::string batchPrefix(const BatchLine& b);

// Applies the names of a batch run to the unit names (after the
// configuration has set its defaults).
void applyBatchNames(RunSettings& rs);

// The composition file and plot file of one composition-list entry.
std::string batchCompositionFile(const BatchLine& b, std::string_view entry);
std::string batchPlotFile(const BatchLine& b, std::string_view entry, int lineCounter);

// The name under which the composition list of a batch line is opened.
std::string batchListFile(const BatchLine& b);

// The batch loop: runs `runOne` once per line of batch.dat.  A line that
// cannot be run is logged in klv.log (and on the console) and counted in
// ctx.batchLinesFailed; the loop goes on with the next line.  Returns a Quit
// status when the program must end, Stop when batch.dat cannot be opened,
// else success.
core::Status runBatch(RunContext& ctx, const std::function<core::Status(RunContext&)>& runOne);

}  // namespace app
