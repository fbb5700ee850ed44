// Where the equilibria of a computed diagram meet, and how well: the
// intersections of its stable curve stretches, the reactions that are linear
// combinations of others, the mean intersection with the covariance of the
// scatter, and the rejection of outliers -- from the diagram's values, no
// file read or written.
//
// Units: the diagram's own (on a P-T diagram x is T in degrees C and y is P
// in bar; mole fraction of CO2 or log10 activity on the other axes).
// Distances used by the tolerances are fractions of the window's ranges.
#pragma once
#include <string>
#include <vector>

#include "pelkam/diagram.hpp"

namespace pelkam {

struct IntersectionOptions {
    bool includeMetastable = false;  // also intersect stretches not known to be stable
    double touchTolerance = 2e-3;    // a stretch end this close to another stretch touches it
    double samePointTolerance = 1e-2;  // intersections of one plane of reactions this close are one point
    double dependenceTolerance = 1e-2;  // relative to the norm of a reaction's coefficients
    // Drop, one at a time, the intersection farthest from the mean while it
    // lies more than this many standard deviations away (0: none), keeping
    // at least `keepAtLeast`.
    double rejectBeyond = 0;
    int keepAtLeast = 3;
};

struct CurveIntersection {
    long curveA = 0, curveB = 0;  // curve numbers (DiagramCurve::number), curveA < curveB
    std::string reactionA, reactionB;
    double x = 0, y = 0;          // diagram units
    bool touch = false;           // a stretch ends on the other one (an invariant point)
    // Independent: a point of its own.  SamePoint: both reactions lie in the
    // plane of an earlier intersection near it (no information of its own).
    // Dropped: rejected as an outlier.
    enum class Kind { Independent, SamePoint, Dropped } kind = Kind::Independent;
    double distance = 0;  // Dropped: distance from the mean, standard deviations
};

struct IntersectionScatter {
    int count = 0;                          // independent intersections used
    double meanX = 0, meanY = 0;
    double varX = 0, varY = 0, covXY = 0;   // sample covariance (divisor n - 1)
    double sdX = 0, sdY = 0;
    double correlation = 0;                 // 0 when a standard deviation is 0
    double area = 0;                        // of the 1-sigma ellipse, diagram units squared
};

struct IntersectionAnalysis {
    std::vector<CurveIntersection> intersections;  // in order of curve pairs, then along the curves
    IntersectionScatter scatter;
    int independentReactions = 0;  // rank of the reactions' coefficients
    // Curve numbers of the reactions that are combinations of earlier ones.
    std::vector<long> dependentCurves;
    int pairsWithoutCrossing = 0;  // independent pairs of curves that do not meet in the window
};

// The intersections of the curves of `diagram` and their scatter.  On a run
// of stable curves every plotted stretch is stable; on a run that plots
// metastable curves too, stretches count as stable only with
// includeMetastable.
IntersectionAnalysis analyseIntersections(const Diagram& diagram, const IntersectionOptions& options = {});

}  // namespace pelkam
