// The plot file and the curve listing of the master output.
//
// The plot file is what the separate plotting program draws from: a header
// that describes the diagram completely (window, plot lengths, axis titles
// and labels, the composition-file labels), then every plotted curve with its
// labels, and on P-T diagrams the liquid-vapour curve of water after the
// first curve.  docs/plot-file.md gives every record layout.
#pragma once
#include <array>
#include <initializer_list>
#include <string>
#include <string_view>

#include "calc/options.hpp"
#include "calc/point.hpp"
#include "calc/reaction.hpp"
#include "calc/selection.hpp"
#include "calc/trace.hpp"
#include "core/status.hpp"
#include "io/streams.hpp"

namespace io {

// Texts of the plot file's own header, supplied by the run.
struct PlotHeaderTexts {
    std::string xLabel, yLabel;  // axis labels (27 characters each; activity axes may be longer)
};

// First record of every plot file, and the version of the layout.
constexpr const char* kPlotFileIdentifier = "PELKAM PLOT FILE";
constexpr int kPlotFileVersion = 1;
// Lines copied from the label scratch file into the header, and their width.
constexpr int kMaxCopiedLabelLines = 20;
constexpr int kCopiedLabelWidth = 80;
// Axis-label lines of the header: at most this many per axis, this wide.
constexpr int kMaxAxisLabelLines = 4;
constexpr int kAxisLabelWidth = 100;
// The liquid-vapour curve of water: at most one stored point and one dash
// start per step of its 100 steps.
constexpr int kMaxWaterCurvePoints = 200;

// How curves are labelled.  The integer of option record 4
// (DiagramOptions::recordFourInteger) selects it: 1 labels each stretch with the
// curve number; 0 (the default) and any other value label each stretch with
// the two sides of the reaction, one on either side of the curve.
enum class LabelMode { ReactionText, CurveNumber };
LabelMode labelModeOf(const calc::DiagramOptions& options);

// The three axis titles of a diagram type (12 characters each).
struct AxisTitles {
    std::string y, x, third;
};
AxisTitles axisTitlesOf(int diagramType);

// Name of a diagram type as the plot header gives it ("P-T", "T-xCO2", ...).
const char* diagramTypeName(int diagramType);

// Saturation pressure of water (bar) at t degrees C as the plotted
// liquid-vapour curve uses it; 0 outside 0 to 374.135986328125 C.
double plotSaturationPressure(double tC);

// The plotted liquid-vapour curve of water over a P-T window: dashes of 10
// degrees with gaps of 10 degrees, flag 3 at the start of every dash.
struct WaterCurve {
    int count = 0;
    std::array<calc::CurvePoint, kMaxWaterCurvePoints> points{};
};
void liquidVapourCurve(const calc::PlotWindow& window, WaterCurve& out);
// Whether a run's plot files carry the liquid-vapour curve after their first
// curve: a P-T diagram with water in the fluid, a window that reaches the
// curve, and at least one point of the curve inside it.
bool waterCurveWanted(const calc::DiagramOptions& options);

// The text of a reaction with full phase names instead of abbreviations, laid
// out as the reaction text is ("A + 2 B = C"), without the 120-character cut.
std::string reactionTextWithNames(const model::PhaseTable& phases, const calc::Reaction& reaction);

class PlotWriter {
public:
    // `summaryUnit` 0: no listing of the curves.
    PlotWriter(Streams& streams, int plotUnit, int summaryUnit, const calc::DiagramOptions& options,
               calc::PointEvaluator& evaluator, const model::PhaseTable& phases,
               const calc::PhaseSelection& selection);

    // The plot file's header: the window, the plot lengths, the axis titles
    // and labels, and the label records copied from the label scratch file
    // (`labelUnit`, 0 when none).  Documented in docs/plot-file.md.
    void writeHeader(const PlotHeaderTexts& texts, int labelUnit);

    // Writes one calculated reaction: nothing when the trace has fewer than
    // two points; otherwise the curve records and labels to the plot file
    // (the water liquid-vapour curve after the first plotted curve of a P-T
    // diagram) and the listing to the master output.  Returns true and
    // increases `reactionsPlotted` when the curve was written.
    bool writeCurve(const calc::CurveTrace& trace, const calc::Reaction& reaction, long& reactionsPlotted);

    // The first write failure since construction (Ok when none), naming the
    // file; the writer goes on after a failure so that the run can report it.
    const core::Status& status() const { return status_; }

private:
    struct Stretch {
        int first = 0, last = 0;
    };
    struct Label {
        double x = 0, y = 0, height = 0, angle = 0;
        const std::string* text = nullptr;
    };

    int collectStretches(const calc::CurveTrace& trace, int n, std::array<Stretch, calc::kMaxCurvePoints>& out) const;
    // Sums of |coefficient| times chemical potential over the reactants and
    // over the products at the diagram point (x, y).
    void sideSums(const calc::Reaction& reaction, double x, double y, double& reactants, double& products);
    double sidePotential(int phase, double TK, const model::ReactionTerms* reaction);
    void writePlotCurve(const calc::CurveTrace& trace, int n, const Label* labels, int labelCount);
    void writeWaterCurve();
    void writeListing(const calc::CurveTrace& trace, const std::array<Stretch, calc::kMaxCurvePoints>& stretches,
                      int stretchCount, const calc::Reaction& reaction, long curveNumber);
    // The activity listing "activities" (when it is open): one line per
    // listed point and phase of the reaction linked to a solution model.
    void writeActivityListing(const calc::CurveTrace& trace, const std::array<Stretch, calc::kMaxCurvePoints>& stretches,
                              int stretchCount, const calc::Reaction& reaction);
    // Pressure (Act-T) or temperature (Act-P) of a listed point.
    double thirdVariable(double x, double y);
    void put(int unit, const core::Layout& layout, std::initializer_list<core::Value> values);
    void putLine(int unit, std::string_view line);
    void noteFailure(int unit, const char* what);

    Streams& st_;
    int plotUnit_, summaryUnit_;
    const calc::DiagramOptions& rs_;
    calc::PointEvaluator& pe_;
    const model::PhaseTable& phases_;
    const calc::PhaseSelection& sel_;
    bool waterCurveWritten_ = false;
    bool waterCurvePending_ = false;  // the header announced the water curve; not yet written
    calc::PlotWindow window_;
    core::Status status_;
};

}  // namespace io
