// Tracing one reaction's equilibrium curve across the diagram.
#pragma once
#include <array>
#include <functional>
#include <string_view>

#include "reactions/diagram.hpp"
#include "reactions/reaction.hpp"
#include "records/status.hpp"

namespace reactions {

constexpr int kMaxCurvePoints = 201;

enum PointFlag : short {
    kContinues = 2,    // the line continues from the previous point
    kNewStretch = 3,   // a new stretch begins here
};

struct CurvePoint {
    double x = 0, y = 0;
    short flag = kContinues;
};

// The points of one reaction's curve and the bookkeeping of the sides met.
// Sides: 1 y = ymin, 2 x = xmax, 3 y = ymax, 4 x = xmin (index 1..4).
struct CurveTrace {
    int count = 0;
    std::array<CurvePoint, kMaxCurvePoints> points{};
    std::array<int, 5> sideMeetings{};
    std::array<double, 5> sideCoordinate{};
    int branchEnds = 0;
    int pass = 0;
    bool truncated = false;  // the trace reached its capacity and stopped there
};

// The window and tolerances of a run's curve tracing.
struct TraceSettings {
    double xmin = 0, xmax = 1, ymin = 0, ymax = 1;
    double xTolerance = 1e-3, yTolerance = 1e-3;
    double gTolerance = 0.10000000149011612;
    int rootIterations = 50;
    int refinementRounds = 20;
    bool stableOnly = true;  // plotCurves 'Y'
};

}  // namespace reactions
