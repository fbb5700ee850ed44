// The records of the plot file, one table for the writer and the reader
// (docs/plot-file.md).  Text between quotes is written as it stands and
// skipped when a record is read.
#pragma once

#include "core/layout.hpp"

namespace io {

// First record of every plot file, and the version of the layout.
constexpr const char* kPlotFileIdentifier = "PELKAM PLOT FILE";
constexpr int kPlotFileVersion = 1;
// Lines copied from the label scratch file into the header, and their width.
constexpr int kMaxCopiedLabelLines = 20;
constexpr int kCopiedLabelWidth = 80;
// Axis-label lines of the header: at most this many per axis, this wide.
constexpr int kMaxAxisLabelLines = 4;
constexpr int kAxisLabelWidth = 100;
// Columns 11 to 30 of a curve's header record.
constexpr const char* kCurveHeaderTail = "    0    0    0    0";
// The text of a label record begins in column 46.
constexpr int kLabelTextColumn = 45;

struct PlotRecords {
    // The header.
    core::Layout identifier{"(A16,' VERSION',I3)"};  // kPlotFileIdentifier, kPlotFileVersion
    core::Layout diagram{"(I5,2X,A)"};               // diagram type and its name
    core::Layout window{"(4F15.5)"};                 // xmin, xmax, ymin, ymax
    core::Layout lengths{"(2F10.3)"};                // plot lengths W, H
    core::Layout titles{"(3A12)"};                   // axis titles y, x, third
    core::Layout twoCounts{"(2I5)"};                 // axis-label lines of x and y
    core::Layout count{"(I5)"};                      // label lines; the water-curve flag
    core::Layout text{"(A)"};                        // a line of text
    // A curve: its header (label and point count), the points seven to a
    // record (x, y, flag), the labels.
    core::Layout curveHeader{"(I5,I5,'    0    0    0    0')"};
    core::Layout points{"(7(1X,F9.4,F10.2,I2))"};
    core::Layout activityPoints{"(7(F10.5,F10.5,I2))"};  // activity-activity diagrams and the water curve
    core::Layout label{"(F10.3,F10.3,F10.7,F10.4,5X,A)"};  // x, y, height, angle, text
};
const PlotRecords& plotRecords();

}  // namespace io
