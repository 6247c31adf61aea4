// Environment look-ups with the family's rule: a variable counts only when it
// is set and its value is valid UTF-8.
#pragma once

#include <optional>
#include <string>

namespace lumenpad {

std::optional<std::string> env_text(const char* name);

}  // namespace lumenpad
