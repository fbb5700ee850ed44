// The plot file and the curve listing of the master output.
#pragma once
#include <string>

#include "reactions/diagram.hpp"
#include "reactions/reaction.hpp"
#include "reactions/trace.hpp"
#include "records/run_settings.hpp"
#include "records/streams.hpp"
#include "solutions/selection.hpp"

namespace reactions {

// Texts of the plot file's own header, supplied by the run.
struct PlotHeaderTexts {
    std::string xLabel, yLabel;  // axis labels (27 characters each; activity axes may be longer)
};

class PlotWriter {
public:
    PlotWriter(records::Streams& streams, int plotUnit, int summaryUnit, const records::RunSettings& settings,
               PointEvaluator& evaluator, const thermodb::PhaseTable& phases,
               const solutions::PhaseSelection& selection);

    // The plot file's header: the window, the plot lengths, the axis titles
    // and labels, and the label records copied from the label scratch file
    // (`labelUnit`, 0 when none).  Documented in docs/plot-file.md.
    void writeHeader(const PlotHeaderTexts& texts, int labelUnit);

    // Writes one calculated reaction: nothing when the trace has fewer than
    // two points; otherwise the curve records and labels to the plot file
    // (the water liquid-vapour curve after the first plotted curve of a P-T
    // diagram) and the listing to the master output.  Returns true and
    // increases `reactionsPlotted` when the curve was written.
    bool writeCurve(const CurveTrace& trace, const Reaction& reaction, long& reactionsPlotted);

private:
    records::Streams& st_;
    int plotUnit_, summaryUnit_;
    const records::RunSettings& rs_;
    PointEvaluator& pe_;
    const thermodb::PhaseTable& phases_;
    const solutions::PhaseSelection& sel_;
    bool waterCurveWritten_ = false;
};

}  // namespace reactions
