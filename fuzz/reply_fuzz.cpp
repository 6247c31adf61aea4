// The compositor's reply, compared with the JSON library's own document:
// the name is the top-level object's "name" member when that is a string.
#include "fuzz_support.hpp"
#include "lumenpad/hyprland.hpp"

#include "lumenpad-shared/text.hpp"

#include <nlohmann/json.hpp>

using lumenpad::fuzz::check;

namespace {

std::optional<std::string> from_document(std::string_view reply) {
    if (!lumenpad::is_valid_utf8(reply) || reply.starts_with("\xEF\xBB\xBF") ||
        reply.find('\0') != std::string_view::npos) {
        return std::nullopt;
    }
    const auto document = nlohmann::json::parse(reply.begin(), reply.end(), nullptr, false);
    if (document.is_discarded() || !document.is_object()) {
        return std::nullopt;
    }
    const auto name = document.find("name");
    if (name == document.end() || !name->is_string()) {
        return std::nullopt;
    }
    return name->get<std::string>();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto reply = lumenpad::fuzz::as_text(data, size);
    check(lumenpad::workspace_name_from_reply(reply) == from_document(reply),
          "the reader agrees with the document");
    return 0;
}
