// The figure as PDF or PNG, drawn with cairo.  The provenance goes into the
// PDF's document information and into text chunks of the PNG.
#pragma once
#include <string>

#include "core/status.hpp"
#include "render/figure.hpp"
#include "render/provenance.hpp"

namespace render {

// The bytes of a one-page PDF.
core::Status figureToPdf(const Figure& figure, const Provenance& provenance, std::string& out);
// The bytes of a PNG at `dpi` dots per inch (bounded so that neither side
// exceeds 16000 pixels).
core::Status figureToPng(const Figure& figure, const Provenance& provenance, double dpi, std::string& out);

}  // namespace render
