// The formula utility's library for C++ callers: one analysis in (oxides in
// weight per cent by name), cations per formula unit, Fe3+ and the site or
// end-member fractions of its mineral scheme out.
#pragma once
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/status.hpp"
#include "formula/elements.hpp"
#include "formula/oxide_file.hpp"
#include "formula/recalc.hpp"
#include "formula/schemes.hpp"

namespace formula {

struct AnalysisResult {
    core::Status status;
    SchemeResult scheme;  // passes (cations per formula unit, Fe3+), fractions, composition entry
};

// Recalculates one analysis with the scheme of `code` (a four-character code
// of kMineralCodes, case-blind, blanks added; e.g. "GARN", "CPX2", "OLIV").
// Oxide names are those of an oxide-label line ("SiO2", "FeO", "Fe2O3", ...);
// totals are ignored.  An unknown oxide or code gives a failure status.
AnalysisResult recalculateAnalysis(const std::vector<std::pair<std::string, double>>& oxidesWtPercent,
                                    std::string_view code, const SchemeOptions& options = {});

}  // namespace formula
