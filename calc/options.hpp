// The options of a diagram: what the options screen asks (and the option
// records of a restart file hold) that the calculation reads.
#pragma once

#include "calc/diagram_type.hpp"
#include "model/fluid_choice.hpp"

namespace calc {

struct DiagramOptions {
    int diagramType = kPT;
    double pMin = 500, pMax = 10000;  // bar; the fixed pressure of T-xCO2 and activity diagrams in pMin
    double tMin = 100, tMax = 1300;   // degrees C; the fixed temperature of P-xCO2 diagrams in tMin
    // The x axis of xCO2 and activity diagrams (mole fraction, log10 activity)
    // and the y axis of activity-activity diagrams.
    double xAxisMin = 0, xAxisMax = 0, yAxisMin = 0, yAxisMax = 0;
    double xH2O = 0, xCO2 = 0;  // the H2O-CO2 fluid (the middle of the axis on xCO2 diagrams)
    model::FluidModelChoice fluid;
    char plotCurves = 'Y';   // 'Y' stable curves only, 'N' metastable and stable
    char labelAnswer = 'Y';  // 'Y' abbreviations, 'N' full names
    // Activity diagrams: the fixed pressure (activity-T, activity-activity) or
    // temperature (activity-P) taken as given (0), on the liquid-vapour curve
    // of water (1), or on the geotherm P = 1 + d1 (T - 25) + d2 (T - 25)^2,
    // T = 25 + d1 (P - 1) + d2 (P - 1)^2 on activity-P diagrams (2).
    int saturationChoice = 0;
    double geothermD1 = 0, geothermD2 = 0;
    double plotHeight = 20, plotWidth = 20;  // plot lengths of the y and x axes, plot units
    int recordFourInteger = 0;  // the integer of option record 4: 1 labels curves with their numbers
};

// The diagram window in diagram coordinates (x horizontal, y vertical).
struct PlotWindow {
    double xmin = 0, xmax = 1, ymin = 0, ymax = 1;
};
PlotWindow plotWindow(const DiagramOptions& options);

}  // namespace calc
