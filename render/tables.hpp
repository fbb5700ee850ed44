// Tables for spreadsheets and data tools (comma-separated, one header row,
// text fields quoted where they need it).
//   curve points:     curve,reaction,stretch,x,y,flag
//   invariant points: point,x,y,curves,phases
// x and y are in diagram units (on a P-T diagram x is T in C and y is P in
// bar); flag is the plot file's: 3 where a stretch begins, 2 on the line.
// Lists inside one field are separated by blanks (curves) or " + " (phases).
#pragma once
#include <string>
#include <vector>

#include "io/plot_reader.hpp"
#include "render/diagram_curves.hpp"
#include "render/invariant_points.hpp"

namespace render {

// Every point of every reaction curve (the water curve is no reaction and is
// left out).
std::string curvePointsCsv(const io::PlotFileContents& plot, const DiagramDescription& diagram);
std::string invariantPointsCsv(const std::vector<InvariantPoint>& points);

// A CSV field: quoted when it holds a comma, a quote or a line break.
std::string csvField(std::string_view text);

}  // namespace render
