// Starting an entry's command: through "bash" "-c", inside a terminal emulator
// when the entry asks for one, after the user's launch prefix, detached from
// the launcher's streams, in a systemd scope of its own where one can be had.
#pragma once

#include "lumenpad/app_entry.hpp"
#include "lumenpad/spawn.hpp"

#include <sys/types.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace lumenpad {

// The terminal program for entries with Terminal=true: TERMINAL when set and
// not empty, else the first of foot, kitty, alacritty, wezterm, ghostty, xterm
// found in PATH, else "xterm". TERMINAL and PATH are the launcher's own, or
// those of `environment` when given.
std::string choose_terminal(const std::vector<std::string>* environment = nullptr);

// "bash" "-c" command, or terminal "-e" "bash" "-c" command, after the
// words of `prefix`; the terminal chosen through `environment`, if given.
std::vector<std::string> launch_argv(const AppEntry& entry, const std::vector<std::string>& prefix = {},
                                     const std::vector<std::string>* environment = nullptr);

// `environment` with DESKTOP_ENTRY_ID, and for an action's row
// DESKTOP_ENTRY_ACTION, of the entry in place of any it held.
std::vector<std::string> entry_environment(std::vector<std::string> environment, const AppEntry& entry);

// How a launch runs.
struct LaunchSetting {
    // The configuration's launch_prefix: with it, no scope is asked for.
    std::vector<std::string> prefix;
    // The child's environment as "NAME=value" texts (whose TERMINAL and PATH
    // choose the terminal and find the program), before the locale
    // variables the launcher set aside and the entry's own variables:
    // nothing is the launcher's, with no activation token.
    std::optional<std::vector<std::string>> environment;
    // Nothing: the launcher's working directory.
    std::optional<std::string> directory;
    ChildSession session = ChildSession::shared;
};

// Starts the command and returns once the child exists, with its pid (the
// caller's child, to reap or leave), or nothing; failures are silent.
// Without a prefix and with a session bus the child is held until the scope
// request is over (see start_in_scope); `done` runs then, on the
// thread-default main context, or else before this returns.
std::optional<pid_t> launch_entry(const AppEntry& entry, const LaunchSetting& setting = {},
                                  std::function<void()> done = {});

}  // namespace lumenpad
