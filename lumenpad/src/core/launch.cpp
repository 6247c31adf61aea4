#include "lumenpad/launch.hpp"

#include "lumenpad-shared/env.hpp"
#include "lumenpad-shared/paths.hpp"
#include "lumenpad-shared/text.hpp"
#include "lumenpad/locale_variables.hpp"
#include "lumenpad/spawn.hpp"

#include <sys/stat.h>

#include <array>

extern char** environ;

namespace lumenpad {

namespace {

constexpr std::array<const char*, 6> terminal_candidates{"foot",    "kitty",   "alacritty",
                                                         "wezterm", "ghostty", "xterm"};

bool found_in_path(std::string_view path, std::string_view name) {
    for (const std::string_view dir : split_path_list(path)) {
        struct stat st {};
        if (::stat(join_path(dir, name).c_str(), &st) == 0) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::string choose_terminal() {
    if (auto terminal = env_text("TERMINAL"); terminal && !terminal->empty()) {
        return *terminal;
    }
    const std::string path = env_text("PATH").value_or("");
    for (const char* candidate : terminal_candidates) {
        if (found_in_path(path, candidate)) {
            return candidate;
        }
    }
    return "xterm";
}

std::vector<std::string> launch_argv(const AppEntry& entry) {
    std::string command(trim(entry.exec));
    if (!entry.terminal) {
        return {"bash", "-c", std::move(command)};
    }
    return {choose_terminal(), "-e", "bash", "-c", std::move(command)};
}

void launch_entry(const AppEntry& entry, const std::optional<std::string>& activation_token) {
    std::vector<std::string> environment = launched_environment(environ, activation_token);
    add_dropped_locale_variables(environment);
    spawn_program(launch_argv(entry), ChildStreams::detached, &environment);
}

}  // namespace lumenpad
