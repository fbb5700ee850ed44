// The equilibrium curve of one reaction across a diagram window, traced as
// the calculator traces it.
#pragma once
#include <span>
#include <string>
#include <vector>

#include "pelkam/database.hpp"
#include "pelkam/error.hpp"
#include "pelkam/reaction.hpp"

namespace pelkam {

// The window of a diagram and its fluid.
struct CurveWindow {
    // PT: x temperature (C), y pressure (bar); TxCO2: x mole fraction of CO2,
    // y temperature (C); PxCO2: x mole fraction of CO2, y pressure (bar).
    DiagramType type = DiagramType::PT;
    double xMin = 0, xMax = 1, yMin = 0, yMax = 1;
    // PT: the mole fraction of CO2 in the H2O-CO2 fluid.
    double xCO2 = 0;
    // TxCO2: the pressure (bar); PxCO2: the temperature (C).
    double fixed = 0;
};

struct CurvePoint {
    double x = 0, y = 0;  // diagram units (CurveWindow)
    bool stable = false;  // the reaction's assemblage is stable here among every phase of the database
};

// One piece of the curve drawn as one line.
struct CurveStretch {
    bool stable = false;  // every point of the stretch is stable (else every point is metastable)
    std::vector<CurvePoint> points;
};

struct Curve {
    std::string reaction;  // the reaction's text as the calculator writes it
    // Every stretch of the curve inside the window, stable or metastable, in
    // the order traced; a stretch ends where the curve leaves the window,
    // breaks off or changes stability.
    std::vector<CurveStretch> stretches;
    bool truncated = false;  // the trace reached its capacity (201 points)
    bool unusable = false;   // the curve stops where the energies cannot be evaluated
};

// Traces `reaction` (balanced in database.index()) across `window`, every
// stretch stable or metastable.  The stability of each point is tested among
// the reaction's phases and the `competing` ones (names or abbreviations,
// Database::find), all at unit activity: a point is stable when no
// competing phase lies below the Gibbs energy plane of the reaction's
// phases (without competing phases every point is stable).  Errors
// (Request): a phase the database did not load, an activity diagram type,
// an empty window, a water or CO2 phase with none of it in the fluid.  A
// reaction whose curve misses the window gives a Curve without stretches.
Result<Curve> traceReaction(const Database& database, const Reaction& reaction, const CurveWindow& window,
                            std::span<const std::string> competing = {});

}  // namespace pelkam
