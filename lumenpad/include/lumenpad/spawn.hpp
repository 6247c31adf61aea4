// Starting another program. The launcher ignores SIGPIPE; no child inherits
// that: each starts with SIGPIPE at its default.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace lumenpad {

enum class ChildStreams {
    // The launcher's own standard streams.
    inherited,
    // Standard streams on /dev/null and nothing else of the launcher's open
    // (its display connection, sockets, files).
    detached,
};

// Starts argv[0], looked up in PATH, with the launcher's environment; the
// child's pid, or nothing when it could not be started.
std::optional<pid_t> spawn_program(const std::vector<std::string>& argv, ChildStreams streams);

}  // namespace lumenpad
