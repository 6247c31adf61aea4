// The names of the systemd units that launched applications run in: a
// transient scope per launch, named after the application's desktop file ID.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lumenpad {

// `text` as one component of a unit name, escaped as systemd-escape escapes
// it: '/' becomes '-'; ASCII letters, digits, ':' and '_' stay, and so does
// '.' but at the start; every other byte becomes "\xNN".
std::string systemd_escape(std::string_view text);

// "app-lumenpad-<escaped desktop file ID>-<random as 16 hex digits>.scope".
std::string scope_unit_name(std::string_view desktop_id, std::uint64_t random);

}  // namespace lumenpad
