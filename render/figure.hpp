// The drawing of a plot file, laid out once and handed to every writer (SVG,
// PDF, PNG, DXF): a framed window with ticks and numbers chosen for the data
// ranges, the axis titles, the curve stretches, the labels inside the frame,
// the water liquid-vapour curve, the composition-file labels, the invariant
// points and the legend.  Coordinates are page points (1/72 inch) from the
// top left corner, y downwards; angles are degrees counter-clockwise as seen.
#pragma once
#include <string>
#include <vector>

#include "io/plot_reader.hpp"
#include "render/diagram_curves.hpp"
#include "render/invariant_points.hpp"

namespace render {

enum class Layer { Axes, Curves, Water, Labels, Notes, Invariant, Legend, Intersections };
// Layer names as the DXF file and the SVG groups give them ("CURVES", ...).
const char* layerName(Layer layer);

enum class Anchor { Start, Middle, End };

struct PagePoint {
    double x = 0, y = 0;
};

struct FigureLine {
    Layer layer;
    PagePoint a, b;
    double width = 0.5;
};

// A stretch of a curve: a polyline of two or more points.
struct FigurePolyline {
    Layer layer;        // Curves or Water
    int curve = 0;      // curve number (0 for the water curve)
    int stretch = 0;    // 1-based among the curve's stretches
    std::vector<PagePoint> points;
    bool dashed = false;
};

struct FigureText {
    Layer layer;
    PagePoint at;           // the anchor on the baseline
    double capHeight = 0;   // height of capitals
    double angle = 0;
    Anchor anchor = Anchor::Start;
    std::string text;
    bool halo = false;      // drawn over a white outline, to stay legible over lines
};

struct FigureMarker {
    Layer layer;
    PagePoint at;
    double radius = 0;
};

// How well the curve labels are laid out, measured by plain all-pairs checks
// (only when FigureOptions::measureLayout asks for it).
struct LayoutQuality {
    int labels = 0;
    int overlappingPairs = 0;  // pairs of curve labels whose boxes (with their clear margin) overlap
    int crossingLabels = 0;    // curve labels that a line of another curve crosses
    int outside = 0;           // curve labels not wholly inside the frame (margin included)
    double meanShift = 0;      // mean distance (points) of a label's centre from where its record put it
};

struct Figure {
    double pageWidth = 0, pageHeight = 0;
    double frameLeft = 0, frameTop = 0, frameWidth = 0, frameHeight = 0;
    double unit = 1;                 // points per plot unit
    double plotWidth = 0, plotHeight = 0;  // W and H of the plot file
    std::string title;               // what the figure shows, for metadata
    std::vector<FigureLine> lines;
    std::vector<FigurePolyline> polylines;
    std::vector<FigureText> texts;
    std::vector<FigureMarker> markers;
    int labelsMoved = 0;             // labels not at their record's place
    int labelsOverlapping = 0;       // labels for which no free place was found
    bool legendWithoutReactions = false;  // a legend was asked for but no reaction is known
    LayoutQuality quality;           // filled when FigureOptions::measureLayout
};

// The mean intersection of the equilibria and the covariance of its scatter
// or uncertainty (diagram units), drawn as a dot with its 1-sigma and
// 2-sigma ellipses (Mahalanobis distance 1 and 2; the second dashed), the
// intersections it comes from as small dots, and a text beside the mean.
struct IntersectionMarks {
    bool shown = false;
    double x = 0, y = 0;
    double varX = 0, varY = 0, covXY = 0;
    std::vector<PagePoint> points;  // diagram units
    std::string text;
};

struct FigureOptions {
    bool legend = false;             // a legend also when the labels name the reactions
    bool invariantPoints = true;     // mark and number the invariant points
    double labelScale = 1.0;         // factor on the label heights of the plot file
    bool curveNumbers = false;       // label each stretch with its curve number instead (and draw the legend)
    IntersectionMarks intersections;
    bool measureLayout = false;      // fill Figure::quality
};

// The legend is drawn in curve-number mode, and in any mode when asked for.
Figure buildFigure(const io::PlotFileContents& plot, const DiagramDescription& diagram,
                   const std::vector<InvariantPoint>& invariants, const FigureOptions& options);

// Page point of a plot-unit point, and back.
PagePoint toPage(const Figure& f, double xPlot, double yPlot);
void toPlot(const Figure& f, PagePoint p, double& xPlot, double& yPlot);

// Tick values of an axis from lo to hi: a step of 1, 2 or 5 times a power of
// ten giving about `target` intervals; `minorStep` receives the minor step.
std::vector<double> axisTicks(double lo, double hi, int target, double& step, double& minorStep);
// A tick value as printed: as many decimals as the step needs.
std::string tickText(double value, double step);

}  // namespace render
