// Starting another program. The launcher ignores SIGPIPE; no child inherits
// that: each starts with SIGPIPE at its default.
#pragma once

#include "lumenpad-shared/unique_fd.hpp"

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumenpad {

enum class ChildStreams {
    // The launcher's own standard streams.
    inherited,
    // Standard streams on /dev/null and nothing else of the launcher's open
    // (its display connection, sockets, files).
    detached,
};

// Whether a detached child stays in the launcher's session, or starts one
// of its own so that nothing sent to the launcher's terminal or process
// group (Ctrl-C, hang-up) reaches it.
enum class ChildSession { shared, own };

// Starts argv[0], looked up in PATH, with the launcher's environment (or
// `environment`, as "NAME=value" texts, whose PATH then leads) in the
// launcher's working directory (or `directory`); the child's pid, or nothing
// when it could not be started.
std::optional<pid_t> spawn_program(const std::vector<std::string>& argv, ChildStreams streams,
                                   const std::vector<std::string>* environment = nullptr,
                                   const std::string* directory = nullptr,
                                   ChildSession session = ChildSession::shared);

// A detached child, with SIGPIPE at its default, in its directory, that
// waits to be released before it runs its program (under the same pid), so
// that it can be placed first.
struct HeldChild {
    pid_t pid = 0;
    // The launcher's end of the socket the child waits on.
    UniqueFd release;
};

// As spawn_program with detached streams, the child held; nothing when
// argv[0] is not an executable file where PATH leads, or no process can be
// made.
std::optional<HeldChild> spawn_held(const std::vector<std::string>& argv,
                                    const std::vector<std::string>* environment = nullptr,
                                    const std::string* directory = nullptr,
                                    ChildSession session = ChildSession::shared);

// Lets the child run its program; once released it stays so.
void release_child(HeldChild& child);

// The value of the first `name`= text of `environment`, as getenv finds it.
std::optional<std::string_view> variable_in(const std::vector<std::string>& environment,
                                            std::string_view name);

// `environment` (as environ holds it) for a program that the user started:
// with the activation token that lets it take the focus as
// XDG_ACTIVATION_TOKEN and DESKTOP_STARTUP_ID, or without either when there
// is none, so that it never inherits a token that is not its own.
std::vector<std::string> launched_environment(char* const* environment,
                                              const std::optional<std::string>& activation_token);

}  // namespace lumenpad
