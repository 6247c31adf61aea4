// The family's shared stylesheet, generated from a palette: sixteen named
// colours, then base rules for the common widgets. Palette texts are inserted
// unchanged, without any escaping.
#pragma once

#include "oriel-theme/palette.hpp"

#include <string>

namespace oriel {

std::string generate_stylesheet(const Palette& palette);

}  // namespace oriel
