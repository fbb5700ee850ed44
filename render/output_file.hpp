// Writing an output file whole: the bytes go to a temporary file beside the
// target, which is renamed over the target only when everything was written,
// so that no half-written file is ever left under the requested name.
#pragma once
#include <string>
#include <string_view>

#include "core/status.hpp"

namespace render {

core::Status writeFileAtomically(const std::string& path, std::string_view bytes);

}  // namespace render
