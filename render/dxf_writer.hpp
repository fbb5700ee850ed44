// The figure as an ASCII DXF file (AutoCAD R12 entities) for drawing
// programs.  Coordinates are plot units: the diagram window scaled to the
// plot lengths W and H of the plot file, (0, 0) at its lower left corner.
// Layers: CURVES (a POLYLINE per stretch), WATER (the liquid-vapour curve of
// water, a POLYLINE per dash), LABELS (a TEXT per curve label, with height and
// rotation), NOTES (composition-file labels), AXES (frame, ticks, numbers and
// titles), INVARIANT (a CIRCLE and number per invariant point) and LEGEND.
// The provenance comes first, as comments (group code 999).
#pragma once
#include <string>

#include "render/figure.hpp"
#include "render/provenance.hpp"

namespace render {

std::string figureToDxf(const Figure& figure, const Provenance& provenance);

}  // namespace render
