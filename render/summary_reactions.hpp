// The reaction texts of a run's summary file, by curve number: the curve
// listing gives each plotted reaction as "1  REACTION: text" and closes it
// with " THIS CURVE IS NUMBER n".  A summary may list several plot files
// (batch runs with a composition list); each begins with
// "**** Current plotfile = name".
#pragma once
#include <string>
#include <vector>

#include "core/status.hpp"

namespace render {

struct SummaryCurve {
    int number = 0;
    std::string reaction;
};

struct SummaryReactions {
    // The curves listed for the plot file asked for (or for the whole file
    // when no section names it), in the order of the listing.
    std::vector<SummaryCurve> curves;
    // The reaction of curve `number`, or nullptr.
    const std::string* reactionOf(int number) const;
};

// Reads the summary at `path`; `plotName` picks the section of that plot file
// (compared by file name without directories, ignoring letter case).
core::Status readSummaryReactions(const std::string& path, const std::string& plotName, SummaryReactions& out);

}  // namespace render
