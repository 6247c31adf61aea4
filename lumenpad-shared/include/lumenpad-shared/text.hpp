// Text rules the family's programs share: UTF-8 checks, Unicode trimming and
// the locale-independent full lower-case mapping.
#pragma once

#include <string>
#include <string_view>

namespace lumenpad {

bool is_valid_utf8(std::string_view bytes);

// The bytes with every ill-formed sequence replaced by U+FFFD.
std::string lossy_utf8(std::string_view bytes);

// Removes characters with the Unicode White_Space property at both ends.
// The input must be valid UTF-8.
std::string_view trim(std::string_view text);

// Full Unicode lower-case mapping (special casing and final sigma included),
// independent of the user's locale. The input must be valid UTF-8.
std::string lower(std::string_view text);

}  // namespace lumenpad
