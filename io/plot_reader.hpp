// Reading a plot file back: the header, every curve with its points and
// labels, and the liquid-vapour curve of water.  The layouts are those of
// docs/plot-file.md; a record that does not fit its layout is reported with
// the file, line and field.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "calc/trace.hpp"
#include "core/status.hpp"
#include "io/plot_writer.hpp"

namespace io {

struct PlotLabelRecord {
    double x = 0, y = 0;   // start of the text, data units
    double height = 0;     // character height, plot units
    double angle = 0;      // degrees
    std::string text;
};

struct PlotCurveRecord {
    int line = 0;             // line of the curve's header record
    bool waterCurve = false;  // the liquid-vapour curve of water
    std::vector<calc::CurvePoint> points;
    std::vector<PlotLabelRecord> labels;
};

struct PlotFileContents {
    int version = 0;
    int diagramType = 0;
    std::string diagramName;
    calc::PlotWindow window;
    double width = 0, height = 0;  // plot lengths W (x axis) and H (y axis)
    AxisTitles titles;
    std::vector<std::string> xLabel, yLabel;  // lines of the axis labels
    std::vector<std::string> labelLines;      // lines copied from the label scratch file
    bool waterCurveAfterFirst = false;
    std::vector<PlotCurveRecord> curves;      // in file order, the water curve included
};

// Reads the plot file at `path`.  On failure `out` holds what was read before
// the failing record.
core::Status readPlotFile(std::string_view path, PlotFileContents& out);

}  // namespace io
