// Invariant points.  With stable curves only, a stretch of a curve ends
// inside the window only where its reaction turns metastable, which is at an
// invariant point; the other curves of that point end there too, or (in
// degenerate grids) go on through it.
#pragma once
#include <string>
#include <vector>

#include "io/plot_reader.hpp"
#include "render/diagram_curves.hpp"

namespace render {

struct InvariantPoint {
    int number = 0;                   // 1-based, in order of x, then y
    double x = 0, y = 0;              // mean of the meeting ends, diagram units
    std::vector<int> curves;          // curve numbers of the meeting curves, ascending
    std::vector<std::string> phases;  // phases of the meeting reactions, sorted (empty when not known)
};

// How close the ends must lie, in diagram units.
struct InvariantTolerance {
    double x = 0, y = 0;
};
// 0.1 on a temperature axis (C), 1 on a pressure axis (bar), and 2e-4 of the
// range on a composition or activity axis.
InvariantTolerance defaultInvariantTolerance(const io::PlotFileContents& plot);

// Ends of stretches of two or more points of the reaction curves (the water
// curve is no reaction), away from the window's sides, are joined when both
// coordinates lie within the tolerance of another end.  A group is an
// invariant point when at least three curves meet there: those ending in the
// group and those whose stretches pass within three tolerances of it.
std::vector<InvariantPoint> findInvariantPoints(const io::PlotFileContents& plot,
                                                const DiagramDescription& diagram, InvariantTolerance tol);

}  // namespace render
