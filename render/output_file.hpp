// Output files of the drawings are replaced whole (core::writeFileAtomically):
// no half-written file is ever left under the requested name.
#pragma once
#include "core/atomic_file.hpp"

namespace render {

using core::writeFileAtomically;

}  // namespace render
