// Where the equilibria of a diagram meet, and how well: the intersections of
// stable curve stretches, which reactions are linear combinations of others
// (their intersections repeat a point already found and carry no
// information of their own), the mean intersection with the covariance of
// the scatter, and the iterative rejection of outliers.
//
// Everything here works on values: curves given as stretches of (x, y)
// points in diagram units (on a P-T diagram x is T in C and y is P in bar)
// with their reaction coefficients.  Nothing reads or writes a file
// (intersect/read_curves.hpp builds a CurveSet from a plot file).
#pragma once
#include <string>
#include <vector>

namespace intersect {

struct Point {
    double x = 0, y = 0;
};

// The diagram window; distances are judged in fractions of its ranges, so
// that a degree and a bar weigh as they do on the drawing.
struct Window {
    double xmin = 0, xmax = 1, ymin = 0, ymax = 1;
};

// A run of points drawn as one line.
struct Stretch {
    std::vector<Point> points;
    bool stable = true;  // false: metastable, or stability not tested by the run
};

struct Curve {
    int number = 0;            // curve number (the summary's " THIS CURVE IS NUMBER n")
    std::string reaction;      // "Grs + 2 Ky + Qz = 3 An"; may be empty
    std::vector<Stretch> stretches;
    // One coefficient per entry of CurveSet::phases (negative for reactants);
    // empty when not known.
    std::vector<double> coefficients;
};

struct CurveSet {
    Window window;
    std::vector<std::string> phases;  // names the coefficients refer to
    std::vector<Curve> curves;
    // Every curve has coefficients: linear dependence can be judged.
    bool coefficientsKnown() const;
};

// A reaction that is a linear combination of earlier ones (in curve order).
struct Combination {
    int curve = 0;                    // index into CurveSet::curves
    std::vector<int> basis;           // indices of the independent curves it combines
    std::vector<double> factors;      // one per basis entry (zeros left out)
};

struct Dependence {
    bool known = false;               // false when coefficients are missing
    int rank = 0;                     // number of independent reactions
    std::vector<int> independent;     // indices of the curves chosen as basis, in curve order
    std::vector<Combination> dependent;
    std::vector<std::pair<int, int>> sameReaction;  // pairs of curves with proportional coefficients
};

// Rank and combinations by elimination in curve order: a curve whose
// coefficients are, within `relTolerance` of their norm, a combination of
// the curves kept so far is dependent; otherwise it is kept.
Dependence analyseDependence(const CurveSet& set, double relTolerance = 1e-2);

enum class Kind {
    Independent,   // a point of its own
    SamePoint,     // the reactions of both curves lie in the plane of an earlier intersection near it
    Dropped,       // rejected as an outlier
};

struct Intersection {
    int curveA = 0, curveB = 0;       // indices into CurveSet::curves, curveA < curveB
    int stretchA = 0, stretchB = 0;   // indices into the curves' stretches
    Point at;
    bool touch = false;               // a stretch ends on the other one (no crossing)
    Kind kind = Kind::Independent;
    int sameAs = -1;                  // SamePoint: index of the intersection it repeats
    double distance = 0;              // Dropped: its distance from the mean, in standard deviations
    int round = 0;                    // Dropped: the round of rejection (1-based)
};

struct Scatter {
    int count = 0;
    Point mean;
    double varX = 0, varY = 0, covXY = 0;  // sample covariance (divisor n - 1); 0 below two points
    double sdX = 0, sdY = 0;
    bool hasCorrelation = false;           // both standard deviations above zero
    double correlation = 0;
    double area = 0;                       // of the 1-sigma ellipse: pi sqrt(varX varY - covXY^2)
};

// Mean and sample covariance of points.
Scatter scatterOf(const std::vector<Point>& points);

// Mahalanobis distance of p from the scatter's mean, in standard deviations;
// along the only direction of spread when the points lie on a line; 0 when
// the scatter has no spread.
double distanceFromMean(const Scatter& s, Point p);

// The points of an ellipse of constant Mahalanobis distance `sigmas` around
// the mean, `count` points going once round (the first not repeated).  Empty
// when the scatter has no spread; a segment (there and back) on a line.
std::vector<Point> ellipseOf(const Scatter& s, double sigmas, int count = 72);

struct Options {
    bool includeMetastable = false;  // also intersect stretches not known to be stable
    // A stretch end within this distance of another stretch (fractions of
    // the window's ranges) touches it: curves that end in an invariant point.
    double touchTolerance = 2e-3;
    // Intersections of one plane of reactions closer than this (fractions
    // of the ranges) are one point.
    double samePointTolerance = 1e-2;
    double dependenceTolerance = 1e-2;  // see analyseDependence
    // Reject, one at a time, the intersection farthest from the mean while
    // it lies more than this many standard deviations away (0: no rejection),
    // keeping at least `keepAtLeast` points.
    double rejectBeyond = 0;
    int keepAtLeast = 3;
};

struct Analysis {
    Dependence dependence;
    std::vector<Intersection> intersections;  // in order of curve pairs, then along the curves
    Scatter scatter;                          // of the independent intersections left after rejection
    std::vector<int> used;                    // indices of those intersections
    int pairsWithoutCrossing = 0;             // independent pairs of curves that do not meet in the window
    int stretchesLeftOut = 0;                 // stretches not known to be stable, not intersected
};

// Every crossing (and touch) of two stretches of different curves, for the
// stable stretches only unless options.includeMetastable.  Curves with
// proportional coefficients are not intersected with each other.
std::vector<Intersection> findIntersections(const CurveSet& set, const Dependence& dependence, const Options& options);

// The whole analysis: dependence, intersections, the repeated points of
// dependent reactions, outlier rejection and the scatter.
Analysis analyse(const CurveSet& set, const Options& options = {});

}  // namespace intersect
