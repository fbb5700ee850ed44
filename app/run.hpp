// Start-up, the run driver, the run orchestrator and the completion screen.
#pragma once
#include <array>
#include <string>
#include <string_view>

#include "app/run_context.hpp"

namespace app {

// Creates the fourteen screens (hidden) and runs the driver.  Returns when
// the program ends: after the completion screen (Ok), on Exit/Quit (Quit) or
// after a fatal message (Stop).
core::Status startUp(RunContext& ctx);

// The driver: about screen, batch question, one run or the batch loop, and
// the completion screen.
core::Status runDriver(RunContext& ctx);

// One calculation run (one interactive run or one batch line).
core::Status runCalculation(RunContext& ctx);

// The DXF name of a plot file: the name cut before its first '.' or its
// first two blanks, followed by ".dxf".
std::string dxfName(std::string_view plotName);
// The SVG drawing of a plot file: the same name with ".svg".
std::string svgName(std::string_view plotName);

// The six lines of the completion screen (each at most 45 characters; with
// `screenWidth` false the lines keep the file names whole); in batch mode
// the third line counts the lines that could not be run.
std::array<std::string, 6> completionLines(const RunSettings& rs, int batchLinesFailed = 0,
                                            bool screenWidth = true);

// A run whose outputs could not be written: the status to end it with says
// so, and that the files of earlier runs are kept.
core::Status outputsNotWritten(core::Status failure);

}  // namespace app
