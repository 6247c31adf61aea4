#include "lumenpad/spawn.hpp"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>

extern char** environ;

namespace lumenpad {

namespace {

// Owns one of posix_spawn's helper objects from init to destroy.
template <typename T, int (*init)(T*), int (*destroy)(T*)>
class SpawnObject {
public:
    SpawnObject() { init(&object_); }
    SpawnObject(const SpawnObject&) = delete;
    SpawnObject& operator=(const SpawnObject&) = delete;
    ~SpawnObject() { destroy(&object_); }

    T* get() { return &object_; }

private:
    T object_;
};

using SpawnAttributes = SpawnObject<posix_spawnattr_t, posix_spawnattr_init, posix_spawnattr_destroy>;
using SpawnFileActions =
    SpawnObject<posix_spawn_file_actions_t, posix_spawn_file_actions_init, posix_spawn_file_actions_destroy>;

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
