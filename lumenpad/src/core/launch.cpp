#include "lumenpad/launch.hpp"

#include "lumenpad-shared/env.hpp"
#include "lumenpad-shared/paths.hpp"
#include "lumenpad-shared/text.hpp"
#include "lumenpad/locale_variables.hpp"
#include "lumenpad/spawn.hpp"
#include "lumenpad/systemd_scope.hpp"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <string_view>

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

std::string choose_terminal(const std::vector<std::string>* environment) {
    // As env_text reads the launcher's own: a set value that is valid UTF-8.
    const auto text_of = [environment](const char* name) -> std::optional<std::string> {
        if (environment == nullptr) {
            return env_text(name);
        }
        const auto value = variable_in(*environment, name);
        if (!value || !is_valid_utf8(*value)) {
            return std::nullopt;
        }
        return std::string(*value);
    };
    if (auto terminal = text_of("TERMINAL"); terminal && !terminal->empty()) {
        return *terminal;
    }
    const std::string path = text_of("PATH").value_or("");
    for (const char* candidate : terminal_candidates) {
        if (found_in_path(path, candidate)) {
            return candidate;
        }
    }
    return "xterm";
}

std::vector<std::string> launch_argv(const AppEntry& entry, const std::vector<std::string>& prefix,
                                     const std::vector<std::string>* environment) {
    std::vector<std::string> argv = prefix;
    if (entry.terminal) {
        argv.insert(argv.end(), {choose_terminal(environment), "-e"});
    }
    argv.insert(argv.end(), {"bash", "-c", std::string(trim(entry.exec))});
    return argv;
}

std::vector<std::string> entry_environment(std::vector<std::string> environment, const AppEntry& entry) {
    static constexpr std::string_view id_variable = "DESKTOP_ENTRY_ID=";
    static constexpr std::string_view action_variable = "DESKTOP_ENTRY_ACTION=";
    std::erase_if(environment, [](const std::string& text) {
        return text.starts_with(id_variable) || text.starts_with(action_variable);
    });
    if (!entry.desktop_id.empty()) {
        environment.push_back(std::string(id_variable) + entry.desktop_id);
    }
    if (entry.action) {
        environment.push_back(std::string(action_variable) + *entry.action);
    }
    return environment;
}

std::optional<pid_t> launch_entry(const AppEntry& entry, const LaunchSetting& setting,
                                  std::function<void()> done) {
    std::vector<std::string> environment =
        setting.environment ? *setting.environment : launched_environment(environ, std::nullopt);
    add_dropped_locale_variables(environment);
    environment = entry_environment(std::move(environment), entry);
    const std::vector<std::string> argv = launch_argv(entry, setting.prefix, &environment);
    const std::string* directory = setting.directory ? &*setting.directory : nullptr;
    // A prefix is the user's own choice of manager.
    if (setting.prefix.empty() && session_bus_named()) {
        if (auto held = spawn_held(argv, &environment, directory, setting.session)) {
            const pid_t pid = held->pid;
            start_in_scope(std::move(*held), entry, std::move(done));
            return pid;
        }
    }
    const auto pid = spawn_program(argv, ChildStreams::detached, &environment, directory, setting.session);
    if (done) {
        done();
    }
    return pid;
}

}  // namespace lumenpad
