// The restart file: every answer of a run, in the order the run asks for
// them, then the rows of the reactions it calculated with a portion plotted
// and the records of the data files it read (docs/restart-file.md).  One
// writer makes the whole file from the run's request; the record layouts
// below serve the writer and the replay alike.
#pragma once
#include <span>
#include <string>
#include <vector>

#include "calc/run_request.hpp"
#include "core/layout.hpp"
#include "io/provenance.hpp"

namespace io {

struct RestartLayouts {
    // The options of the diagram.
    core::Layout diagramType{"(I1,A)"};              // code 1 to 6 and its comment
    core::Layout fixedValue{"(F10.3)"};              // fixed pressure or temperature
    core::Layout saturation{"(I1,1X,2F10.5,5X,A)"};  // saturation/geotherm choice, d1, d2
    core::Layout window{"(6F10.3,I6)"};              // axis limits, plot lengths, the integer
    core::Layout fluid{"(10F12.3)"};                 // xH2O, xCO2
    core::Layout routine{"(I1,10X,A39)"};            // a fluid routine and its comment
    core::Layout plotCurves{"(A1,10X,A39)"};         // Y stable curves only, N every curve
    // The phases, axes, solution models and label style.
    core::Layout phase{"(I1,D12.5,5X,A20)"};         // option code, activity as entered, name
    core::Layout axis{"(A40,5X,A25)"};               // axis text and its comment
    core::Layout compositionFile{"(A40,5X,A25)"};    // composition file and its comment
    core::Layout model{"(A1,1X,A8,1X,A20)"};         // use flag, variant, model name
    core::Layout labelStyle{"(A1,25X,A20)"};         // Y abbreviations, N full names
    core::Layout row{"(16F8.1)"};                    // coefficients of a calculated reaction
};
const RestartLayouts& restartLayouts();

// The comments written beside the option records.
constexpr const char* kDiagramTypeComment = " DIAGRAM TYPE: 1=PT 2=TX 3=PX 4=TA 5=PA 6=AA";
constexpr const char* kCompositionFileComment = "FILE OF MINERAL COMPS";

// The record groups of the file, in their order.
std::vector<std::string> optionRecords(const calc::DiagramOptions& options);
std::vector<std::string> phaseRecords(const calc::PhaseAnswers& phases, int diagramType);
// The two axis labels of the plot file, 80 columns each (read back and
// ignored by a replay).
std::vector<std::string> axisLabelRecords(const calc::PhaseAnswers& phases, int diagramType);
std::vector<std::string> solutionRecords(const calc::SolutionAnswers& solutions);
std::string labelStyleRecord(char labelStyle);
// The records of a calculated reaction: its coefficients, one per loaded
// phase, sixteen to a line (16F8.1).  A coefficient too wide for its eight
// columns would come back as asterisks: such a reaction is written scaled
// down by powers of ten (its equilibrium does not change).
std::vector<std::string> reactionRowRecords(std::span<const double> coefficients);

// The whole file: the answers of `request`, the rows of the reactions
// calculated with a portion plotted, the records of the data files read.
std::vector<std::string> restartRecords(const calc::RunRequest& request, const std::vector<std::vector<double>>& rows,
                                        std::span<const DataProvenance> dataFiles);

}  // namespace io
