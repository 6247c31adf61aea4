// Strict JSON reading for every file and reply we parse: one document with
// nothing but JSON white space around it. The JSON library alone would also
// pass over a leading byte-order mark, which JSON does not allow, and would
// take a NUL byte for the end of the input, ignoring whatever follows it.
#pragma once

#include <nlohmann/json.hpp>

#include <string_view>

namespace lumenpad {

// JSON allows a NUL byte nowhere: not as white space, and inside a string
// only escaped.
inline bool is_strict_json_input(std::string_view text) {
    return !text.starts_with("\xEF\xBB\xBF") && text.find('\0') == std::string_view::npos;
}

// Feeds the document to a SAX reader; false when it is not strict JSON or
// the reader refused it.
template <typename Reader>
bool sax_parse_json(std::string_view text, Reader* reader) {
    return is_strict_json_input(text) && nlohmann::json::sax_parse(text.begin(), text.end(), reader);
}

}  // namespace lumenpad
