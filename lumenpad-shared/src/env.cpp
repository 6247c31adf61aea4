#include "lumenpad-shared/env.hpp"

#include "lumenpad-shared/text.hpp"

#include <cstdlib>
#include <string_view>

namespace lumenpad {

std::optional<std::string> env_value(const char* name, VariableRule rule) {
    const char* found = std::getenv(name);
    if (found == nullptr) {
        return std::nullopt;
    }
    const std::string_view value = found;
    if ((rule.empty == Empty::unset && value.empty()) ||
        (rule.bytes == Bytes::utf8 && !is_valid_utf8(value)) ||
        (rule.relative == Relative::ignored && !value.starts_with('/'))) {
        return std::nullopt;
    }
    return std::string(value);
}

std::optional<std::string> env_text(const char* name) {
    return env_value(name, {});
}

}  // namespace lumenpad
