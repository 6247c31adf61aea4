#include "spawn.hpp"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>

extern char** environ;

namespace lumenpad {

namespace {

class SpawnAttributes {
public:
    SpawnAttributes() { posix_spawnattr_init(&attributes_); }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;
    ~SpawnAttributes() { posix_spawnattr_destroy(&attributes_); }

    posix_spawnattr_t* get() { return &attributes_; }

private:
    posix_spawnattr_t attributes_;
};

class SpawnFileActions {
public:
    SpawnFileActions() { posix_spawn_file_actions_init(&actions_); }
    SpawnFileActions(const SpawnFileActions&) = delete;
    SpawnFileActions& operator=(const SpawnFileActions&) = delete;
    ~SpawnFileActions() { posix_spawn_file_actions_destroy(&actions_); }

    posix_spawn_file_actions_t* get() { return &actions_; }

private:
    posix_spawn_file_actions_t actions_;
};

void restore_sigpipe(SpawnAttributes& attributes) {
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(attributes.get(), &defaults);
    posix_spawnattr_setflags(attributes.get(), POSIX_SPAWN_SETSIGDEF);
}

void detach_streams(SpawnFileActions& actions) {
    for (int fd = 0; fd <= 2; ++fd) {
        posix_spawn_file_actions_addopen(actions.get(), fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0);
    }
    posix_spawn_file_actions_addclosefrom_np(actions.get(), 3);
}

}  // namespace

std::optional<pid_t> spawn_program(const std::vector<std::string>& argv, ChildStreams streams) {
    if (argv.empty()) {
        return std::nullopt;
    }
    std::vector<char*> pointers;
    pointers.reserve(argv.size() + 1);
    for (const auto& arg : argv) {
        pointers.push_back(const_cast<char*>(arg.c_str()));
    }
    pointers.push_back(nullptr);

    SpawnFileActions actions;
    SpawnAttributes attributes;
    if (streams == ChildStreams::detached) {
        detach_streams(actions);
    }
    restore_sigpipe(attributes);

    pid_t child = 0;
    if (posix_spawnp(&child, pointers[0], actions.get(), attributes.get(), pointers.data(), environ) != 0) {
        return std::nullopt;
    }
    return child;
}

}  // namespace lumenpad
