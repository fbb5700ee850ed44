#include "calc/options.hpp"

namespace calc {

PlotWindow plotWindow(const DiagramOptions& o) {
    PlotWindow w;
    switch (o.diagramType) {
        case kPT: w = {o.tMin, o.tMax, o.pMin, o.pMax}; break;
        case kTX:
        case kActT: w = {o.xAxisMin, o.xAxisMax, o.tMin, o.tMax}; break;
        case kPX:
        case kActP: w = {o.xAxisMin, o.xAxisMax, o.pMin, o.pMax}; break;
        default: w = {o.xAxisMin, o.xAxisMax, o.yAxisMin, o.yAxisMax}; break;
    }
    return w;
}

}  // namespace calc
