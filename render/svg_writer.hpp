// The figure as SVG: one <polyline> per curve stretch (the water curve's
// dashes included), one <text> per label with the label's own text, and the
// provenance in <metadata> and a comment.  Texts stay texts, so that drawing
// programs can edit them.
#pragma once
#include <string>

#include "render/figure.hpp"
#include "render/provenance.hpp"

namespace render {

std::string figureToSvg(const Figure& figure, const Provenance& provenance);

}  // namespace render
