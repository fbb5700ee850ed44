// What a plot file's curves are: their numbers, reactions, stretches and
// label mode, worked out once for the figure and the tables.
#pragma once
#include <string>
#include <vector>

#include "core/status.hpp"
#include "io/plot_reader.hpp"
#include "render/summary_reactions.hpp"

namespace render {

// A run of points from a flag-3 point (or the first point) to the point
// before the next flag-3 point; indices are inclusive.
struct Stretch {
    int first = 0, last = 0;
    int size() const { return last - first + 1; }
};

enum class LabelStyle {
    ReactionText,  // two labels per stretch: the sides of the reaction
    CurveNumber,   // one label per stretch: the curve number
    Other,         // labels that follow neither pattern
};

struct CurveDescription {
    int index = 0;       // into PlotFileContents::curves
    int number = 0;      // curve number as the summary gives it (0 for the water curve)
    bool water = false;  // the liquid-vapour curve of water
    std::string reaction;                 // "A + B = C", empty when not known
    std::vector<Stretch> stretches;       // every stretch, one-point ones included
    std::vector<int> labelStretch;        // per label: index into `stretches`, -1 when not known
};

// A label copied from the composition file into the header (the file's
// name, the solution models used, the fixed activities).
struct NoteLabel {
    int line = 0;  // line of the plot file
    io::PlotLabelRecord record;
};

struct DiagramDescription {
    LabelStyle style = LabelStyle::ReactionText;
    std::vector<NoteLabel> notes;
    std::vector<CurveDescription> curves;  // in file order, the water curve included
    bool reactionsFromSummary = false;
};

// Checks that the plot file describes a drawable diagram (a window of
// positive extent, positive plot lengths, finite numbers) and describes its
// curves.  `summary` may be null; its reactions name the curves when given.
core::Status describeDiagram(const io::PlotFileContents& plot, const std::string& plotPath,
                                const SummaryReactions* summary, DiagramDescription& out);

// The stretches of a list of points.
std::vector<Stretch> stretchesOf(const std::vector<calc::CurvePoint>& points);

// Phase names of a reaction text ("2 Alm + Crn = 3 Fa" gives Alm, Crn, Fa).
std::vector<std::string> phasesOf(const std::string& reaction);

}  // namespace render
