// What the outputs of a calculated curve need, worked out from its trace:
// the stretches, the labels laid along each stretch, the values the listing
// prints per point, and the liquid-vapour curve of water that P-T plot files
// carry.  Values only; io/plot_writer.hpp writes them.
//
// Labels: each stretch of two or more points carries the two sides of the
// reaction (one on either side of the curve, each on the side where its
// assemblage is stable) or the curve number.  The text is centred on an
// anchor point of the stretch and laid along the curve; positions are worked
// out in plot units (the plot lengths W and H) and held in data units.
#pragma once
#include <array>
#include <string>
#include <vector>

#include "calc/options.hpp"
#include "calc/point.hpp"
#include "calc/reaction.hpp"
#include "calc/selection.hpp"
#include "calc/trace.hpp"
#include "model/phase.hpp"

namespace calc {

// Points first..last (0-based) of a curve, drawn as one line.
struct CurveStretch {
    int first = 0, last = 0;
};

struct CurveLabel {
    double x = 0, y = 0;  // start of the text, data units
    double height = 0;    // character height, plot units
    double angle = 0;     // degrees
    std::string text;
};

// The conditions of a point of the curve, for the activity listing.
struct PointConditions {
    double t = 25, P = 1;  // degrees C, bar
};

struct PlottedCurve {
    long number = 0;                    // the curve's number, counted from 1 in the order of plotting
    std::string reactionText;           // 120 columns
    model::ReactionTerms terms;         // the property changes of the reaction
    std::vector<CurvePoint> points;     // every stored point with its flag
    std::vector<CurveStretch> stretches;
    std::vector<CurveLabel> labels;
    // Activity-temperature and activity-pressure diagrams: the pressure, or
    // the temperature, of every point (empty on the other diagrams).
    std::vector<double> third;
    // Every point's conditions, when the activity listing asks for them
    // (empty otherwise); the phases of the reaction linked to a solution model.
    std::vector<PointConditions> conditions;
    std::vector<int> modelPhases;
    double xNaCl = 0;        // the fluid's mole fraction of NaCl (the listing names it when there is any)
    bool truncated = false;  // the trace reached its capacity
    bool unusable = false;   // the curve stops where the energies cannot be evaluated
};

// How curves are labelled.  The integer of option record 4
// (DiagramOptions::recordFourInteger) selects it: 1 labels each stretch with the
// curve number; 0 (the default) and any other value label each stretch with
// the two sides of the reaction, one on either side of the curve.
enum class LabelMode { ReactionText, CurveNumber };
LabelMode labelModeOf(const DiagramOptions& options);

// The text of a reaction with full phase names instead of abbreviations, laid
// out as the reaction text is ("A + 2 B = C"), without the 120-character cut.
std::string reactionTextWithNames(const model::PhaseTable& phases, const Reaction& reaction);

// The plot lengths: W of the x axis and H of the y axis, 20 when below 1.
void plotLengths(const DiagramOptions& options, double& W, double& H);

// A finished trace of `reaction` (two or more points) as its outputs show
// it.  The side test of the labels and the listing's third variable move the
// evaluator; its point is put back afterwards.  `withConditions` asks for the
// conditions of every point (the activity listing).
PlottedCurve describeCurve(const CurveTrace& trace, const Reaction& reaction, long number, PointEvaluator& evaluator,
                           const DiagramOptions& options, const model::PhaseTable& phases,
                           const PhaseSelection& selection, bool withConditions);

// Saturation pressure of water (bar) at t degrees C as the plotted
// liquid-vapour curve uses it; 0 outside 0 to 374.135986328125 C.
double plotSaturationPressure(double tC);

// The plotted liquid-vapour curve of water over a P-T window: dashes of 10
// degrees with gaps of 10 degrees, flag 3 at the start of every dash.
constexpr int kMaxWaterCurvePoints = 200;  // one stored point and one dash start per step of 100
struct WaterCurve {
    int count = 0;
    std::array<CurvePoint, kMaxWaterCurvePoints> points{};
};
void liquidVapourCurve(const PlotWindow& window, WaterCurve& out);
// Whether a run's plot files carry the liquid-vapour curve after their first
// curve: a P-T diagram with water in the fluid, a window that reaches the
// curve, and at least one point of the curve inside it.
bool waterCurveWanted(const DiagramOptions& options);

}  // namespace calc
