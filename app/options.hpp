// Run options: the global options screen with its checks, the option
// records of the restart file and the statement on the master output.
#pragma once
#include <array>
#include <string>

#include "app/run_settings.hpp"
#include "core/status.hpp"

namespace app {

struct RunContext;

// The entries of the options screen as typed.
struct OptionEntries {
    std::string elements;                 // 120
    std::array<std::string, 8> ranges;    // row 1 min/max, row 2 min/max, X min/max, Y min/max
    std::array<std::string, 4> moles;     // xH2O, xH2O max, xCO2, xCO2 max
    char plotCurves = 'Y';
    char labelAnswer = 'Y';
    model::FluidModelChoice fluid;
};

// The labels of the fluid-routine radio buttons and of the plot pairs.
extern const std::array<const char*, 12> kRoutineLabels;
extern const std::array<const char*, 4> kPlotLabels;

// Initial entries for a diagram type.
OptionEntries initialEntries(int diagramType, bool metastableWanted);

// Which fields of the screen are in use for a diagram type (ranges, moles).
std::array<bool, 8> rangeFieldsUsed(int diagramType);
std::array<bool, 4> moleFieldsUsed(int diagramType);

// Checks the entries in order and, when they all pass, stores them in `rs`
// (ranges, fluid composition, routines, plot and label options, the
// saturation/geotherm choice).  Returns the message of the first failure,
// or an empty string.
std::string checkEntries(int diagramType, OptionEntries entries, RunSettings& rs);

// Whether the diagram's window makes physical sense (temperatures above
// -273.15 C, pressures above 0 bar, xCO2 within 0 to 1; the saturation curve
// and the geotherm of activity diagrams aside) and fits the fields of the
// plot file (points, labels, header window, the fixed value in the axis
// label).  Returns what is wrong, or an empty string.
std::string windowProblem(const RunSettings& rs);

// The note on the console and the summary when the Kerrick-Jacobs mixing
// rule raised the lowest temperature from `before` to `after`; empty when it
// was not raised.
std::string mixingRuleNote(double before, double after);

// Confines the ranges of a diagram drawn along the water saturation curve.
void confineToSaturation(RunSettings& rs);

// Reads a geotherm line "2F10.6"; false when it does not hold two numbers.
bool parseGeotherm(const std::string& line, double& d1, double& d2);

// The whole step: screen (or replay), records to the restart file and the
// statement to the master output.
core::Status collectOptions(RunContext& ctx);

// The statement of the options on the master output.
void writeOptionStatement(RunContext& ctx);

}  // namespace app
