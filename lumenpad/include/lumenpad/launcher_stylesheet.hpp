// The launcher's own stylesheet: transparent window, translucent panel, the
// search field fused to the list, rows that take the surface colour when
// hovered or selected. Built from the family palette.
#pragma once

#include "oriel-theme/palette.hpp"

#include <string>

namespace lumenpad {

std::string launcher_stylesheet(const oriel::Palette& palette);

// The builder registered with the theme library: the stylesheet of a palette
// loaded afresh on every call.
std::string launcher_extra_stylesheet();

}  // namespace lumenpad
