// Environment look-ups. The programs of the family disagree about which
// values count, so each caller names its rule; the default is the family's
// usual one: any set value that is valid UTF-8.
#pragma once

#include <optional>
#include <string>

namespace lumenpad {

// An empty value: used as it stands, or counted as unset.
enum class Empty { used, unset };
// A value that is not valid UTF-8: counted as unset, or taken as bytes.
enum class Bytes { utf8, any };
// A value that does not start with '/': used, or counted as unset.
enum class Relative { used, ignored };

struct VariableRule {
    Empty empty = Empty::used;
    Bytes bytes = Bytes::utf8;
    Relative relative = Relative::used;
};

// The value of `name` when it is set and passes `rule`.
std::optional<std::string> env_value(const char* name, VariableRule rule);

// env_value with the default rule.
std::optional<std::string> env_text(const char* name);

}  // namespace lumenpad
