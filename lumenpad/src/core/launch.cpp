#include "launch.hpp"

#include "lumenpad-shared/env.hpp"
#include "lumenpad-shared/paths.hpp"
#include "lumenpad-shared/text.hpp"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
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

// RAII for the two posix_spawn helper objects.
struct SpawnSetup {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    SpawnSetup() {
        posix_spawn_file_actions_init(&actions);
        posix_spawnattr_init(&attributes);
    }
    ~SpawnSetup() {
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;
};

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

void launch_entry(const AppEntry& entry) {
    const std::vector<std::string> args = launch_argv(entry);
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (const auto& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);

    SpawnSetup setup;
    for (int fd = 0; fd <= 2; ++fd) {
        posix_spawn_file_actions_addopen(&setup.actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0);
    }
    // Nothing of the launcher's (its display connection, sockets, files)
    // leaks into the application.
    posix_spawn_file_actions_addclosefrom_np(&setup.actions, 3);
    // The launcher ignores SIGPIPE; the application must not inherit that.
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&setup.attributes, &defaults);
    posix_spawnattr_setflags(&setup.attributes, POSIX_SPAWN_SETSIGDEF);

    pid_t pid = 0;
    posix_spawnp(&pid, argv[0], &setup.actions, &setup.attributes, argv.data(), environ);
}

}  // namespace lumenpad
