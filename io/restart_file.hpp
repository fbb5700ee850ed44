// The restart file: every answer of a run, in the order the run asks for
// them, then the rows of the reactions it calculated and the records of the
// data files it read (docs/restart-file.md).
#pragma once
#include <span>
#include <string>
#include <vector>

namespace io {

// The records of a calculated reaction: its coefficients, one per loaded
// phase, sixteen to a line (16F8.1).  A coefficient too wide for its eight
// columns would come back as asterisks: such a reaction is written scaled
// down by powers of ten (its equilibrium does not change).
std::vector<std::string> reactionRowRecords(std::span<const double> coefficients);

}  // namespace io
