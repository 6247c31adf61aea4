#include "lumenpad-shared/env.hpp"

#include "lumenpad-shared/text.hpp"

#include <cstdlib>

namespace lumenpad {

std::optional<std::string> env_text(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || !is_valid_utf8(value)) {
        return std::nullopt;
    }
    return std::string(value);
}

}  // namespace lumenpad
