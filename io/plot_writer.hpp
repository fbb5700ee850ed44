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
#include "calc/plotted_curve.hpp"
#include "calc/reaction.hpp"
#include "calc/selection.hpp"
#include "core/status.hpp"
#include "io/plot_layout.hpp"
#include "io/streams.hpp"
#include "model/solution_models.hpp"

namespace io {

// Texts of the plot file's own header, supplied by the run.
struct PlotHeaderTexts {
    std::string xLabel, yLabel;  // axis labels (27 characters each; activity axes may be longer)
};

// The axis labels of the plot header (27 characters each; activity axes
// keep their whole length): x then y, from the options and the texts of the
// activity axes.
struct HeaderAxisLabels {
    std::string x, y;
};
HeaderAxisLabels headerAxisLabels(const calc::DiagramOptions& options, std::string_view xAxisText,
                                  std::string_view yAxisText);
// The same without trailing blanks, as the header is written.
PlotHeaderTexts plotHeaderTexts(const calc::DiagramOptions& options, std::string_view xAxisText,
                                std::string_view yAxisText);

// The fixed value of an axis label: an integer of at most six places
// without its leading blanks.
std::string labelNumber(double value);

// The three axis titles of a diagram type (12 characters each).
struct AxisTitles {
    std::string y, x, third;
};
AxisTitles axisTitlesOf(int diagramType);

// Name of a diagram type as the plot header gives it ("P-T", "T-xCO2", ...).
const char* diagramTypeName(int diagramType);

// The writer of a run's plot file and of the curve listings of its summary
// and activity listing, one plotted curve after the other.
class PlotWriter {
public:
    // `summaryUnit` 0: no listing of the curves; `activitiesUnit` 0: no
    // activity listing (it is written while the unit is open, with the
    // models' activities).
    PlotWriter(Streams& streams, int plotUnit, int summaryUnit, const calc::DiagramOptions& options,
               const model::PhaseTable& phases, const calc::PhaseSelection& selection,
               const model::SolutionModelSet* models = nullptr, int activitiesUnit = 0);

    // The plot file's header: the window, the plot lengths, the axis titles
    // and labels, and the label records copied from the label scratch file
    // (`labelUnit`, 0 when none).  Documented in docs/plot-file.md.
    void writeHeader(const PlotHeaderTexts& texts, int labelUnit);

    // Writes one plotted curve: its records and labels to the plot file (the
    // water liquid-vapour curve after the first plotted curve of a P-T
    // diagram), its listing to the summary and the activities of its points.
    void writeCurve(const calc::PlottedCurve& curve);

    // The first write failure since construction (Ok when none), naming the
    // file; the writer goes on after a failure so that the run can report it.
    const core::Status& status() const { return status_; }

private:
    void writePlotCurve(const calc::PlottedCurve& curve);
    void writeWaterCurve();
    void writeListing(const calc::PlottedCurve& curve);
    void writeActivityListing(const calc::PlottedCurve& curve);
    void put(int unit, const core::Layout& layout, std::initializer_list<core::Value> values);
    void putLine(int unit, std::string_view line);
    void noteFailure(int unit, const char* what);

    Streams& st_;
    int plotUnit_, summaryUnit_, activitiesUnit_;
    const calc::DiagramOptions& rs_;
    const model::PhaseTable& phases_;
    const calc::PhaseSelection& sel_;
    const model::SolutionModelSet* models_;
    bool waterCurveWritten_ = false;
    bool waterCurvePending_ = false;  // the header announced the water curve; not yet written
    calc::PlotWindow window_;
    core::Status status_;
};

}  // namespace io
