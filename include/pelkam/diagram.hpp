// A whole diagram from the answers of a run, and its plot file.
#pragma once
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "calc/run_request.hpp"
#include "pelkam/database.hpp"
#include "pelkam/error.hpp"

namespace pelkam {

// Every answer of a run, as the screens give them or a restart file holds
// them: the options (diagram type, ranges in degrees C, bar, mole fraction or
// log10 activity, fluid composition and routines, plot lengths), the element
// line, one answer per loaded phase (option code, activity) and the activity
// axes, the solution models, the label style, and the rows of a replay of
// the last calculated reactions.
using RunRequest = calc::RunRequest;
using PhaseAnswer = calc::PhaseAnswer;
using PhaseAnswers = calc::PhaseAnswers;
using DiagramOptions = calc::DiagramOptions;
// The fluid routines of DiagramOptions::fluid (the codes of FluidRoutines).
using FluidChoice = model::FluidModelChoice;
// A row of the solution-model screen (use flag 'Y' or 'N', variant keyword,
// model name) and the screen's answers (composition file, one row per model
// with a phase in the run, in the order of the solution file).
using ModelAnswer = calc::ModelAnswer;
using SolutionAnswers = calc::SolutionAnswers;
// The option code of a phase answer: kNotChosen -1 (an exclusion), kInclude
// 0, kExclude 1, kIncludeAll 2 (in every reaction), kProject 3 (projection
// phase), kTestOnly 4 (only in the stability tests), kPlain 5.
using OptionCode = calc::OptionCode;

// The answers that take the phases written in `included` (names or
// abbreviations, Database::find) into a run at unit activity and leave
// every other loaded phase out.  Error (Request) for a phase not loaded.
Result<std::vector<PhaseAnswer>> phaseAnswers(const Database& database, std::span<const std::string> included);

// The files a diagram is computed from.
struct DiagramFiles {
    std::string database;
    // The solution-properties file: needed when the request uses a model
    // (the composition file is the one the request names).
    std::string solutionModels;
    std::string aqueous;  // the aqueous data file of activity diagrams; empty: none
};

// A point of a plotted curve in diagram units.
struct PlotPoint {
    double x = 0, y = 0;
    bool newStretch = false;  // a new line begins here
};

struct PlotLabel {
    double x = 0, y = 0;  // start of the text, diagram units
    double height = 0;    // character height, plot units
    double angle = 0;     // degrees
    std::string text;
};

// A curve of the diagram: its stable portion (or, with plotCurves 'N', the
// whole curve) as the plot file has it.
struct DiagramCurve {
    long number = 0;  // counted from 1 in the order of plotting
    std::string reaction;
    std::vector<PlotPoint> points;
    std::vector<PlotLabel> labels;
    bool truncated = false;  // the trace reached its capacity
    bool unusable = false;   // the curve stops where the energies cannot be evaluated
};

namespace detail {
struct DiagramData;
}

// A computed diagram.  Immutable; copies share the data.
class Diagram {
public:
    const std::vector<DiagramCurve>& curves() const;
    // The notices of the calculation (fluid routines used outside their
    // range, energies that are not finite), in the order they arose.
    const std::vector<std::string>& notices() const;
    // The lines the readers and the phase selection wrote (the calculator's
    // message blocks and notes on its summary), in order.
    const std::vector<std::string>& messages() const;
    // The coefficients of every reaction with a portion plotted, one per
    // phase of the run: the rows a restart file records.
    const std::vector<std::vector<double>>& rows() const;
    long examined() const;
    long calculated() const;
    long plotted() const;

    const detail::DiagramData& data() const { return *data_; }
    const std::shared_ptr<const detail::DiagramData>& shared() const { return data_; }
    explicit Diagram(std::shared_ptr<const detail::DiagramData> data) : data_(std::move(data)) {}

private:
    std::shared_ptr<const detail::DiagramData> data_;
};

// Computes the diagram of `request` as a replayed run does: loads the
// database for the element line, takes the phase answers (one per loaded
// phase, in load order), the activity axes and the solution models, chooses
// the basis and calculates every reaction (or the rows of lastRows only).
// Errors: those of loadDatabase; Request when an answer does not fit (a
// phase answer for another phase, fewer than two phases, an axis that
// cannot be recognised, a fluid species with none of it in the fluid, a
// model without its solution file); Data when the solution file or the
// composition file stops its reader.
Result<Diagram> computeDiagram(const RunRequest& request, const DiagramFiles& files);

// Writes the plot file of `diagram` to `path` (docs/plot-file.md), the same
// bytes as the calculator's run writes.  Error (File) when it cannot be
// written; the file is then left as it was.
Result<void> writePlotFile(const Diagram& diagram, const std::string& path);

// A plot file read back.
struct PlotFile {
    int version = 0;
    DiagramType diagramType = DiagramType::PT;
    std::string diagramName;  // "P-T", "T-xCO2", ...
    double xMin = 0, xMax = 1, yMin = 0, yMax = 1;  // the window, diagram units
    double width = 0, height = 0;                    // plot lengths of the x and y axes
    std::string xTitle, yTitle, thirdTitle;
    std::vector<std::string> xLabel, yLabel;  // lines of the axis labels
    std::vector<std::string> labelLines;      // lines of the composition-file labels
    struct Curve {
        int line = 0;             // line of the curve's header record
        bool waterCurve = false;  // the liquid-vapour curve of water
        std::vector<PlotPoint> points;
        std::vector<PlotLabel> labels;
    };
    std::vector<Curve> curves;  // in file order, the water curve included
};

// Reads a plot file.  Error (Data) naming the file, line and field of a
// record that does not fit its layout; (File) when it cannot be opened.
Result<PlotFile> readPlotFile(const std::string& path);

}  // namespace pelkam
