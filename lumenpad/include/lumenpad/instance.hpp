// The single-instance toggle: a pid file names the running launcher, and
// starting the program again stops that launcher instead of opening another.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lumenpad {

// The runtime directory (even when empty) joined with "lumenpad.pid"; without it
// /tmp/lumenpad-<uid>.pid, with the effective user id.
std::string pid_file_path();

// Trimmed text: an optional '+', then ASCII digits up to 4294967295.
std::optional<std::uint32_t> parse_pid(std::string_view text);

// Sends "kill" to the launcher the pid file names, when it is one of ours and
// still runs. True when it did, whether or not "kill" could be started.
bool stop_running_instance();

// Both ignore every failure.
void write_pid_file();
void remove_pid_file();

}  // namespace lumenpad
