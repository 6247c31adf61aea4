#include "lumenpad/spawn.hpp"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>

#include <algorithm>
#include <iterator>
#include <string_view>

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

// The texts as the null-terminated array that exec takes.
std::vector<char*> pointers_to(const std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    pointers.reserve(texts.size() + 1);
    for (const auto& text : texts) {
        pointers.push_back(const_cast<char*>(text.c_str()));
    }
    pointers.push_back(nullptr);
    return pointers;
}

}  // namespace

std::vector<std::string> launched_environment(char* const* environment,
                                              const std::optional<std::string>& activation_token) {
    static constexpr std::string_view token_variables[] = {"XDG_ACTIVATION_TOKEN=", "DESKTOP_STARTUP_ID="};
    std::vector<std::string> out;
    for (char* const* variable = environment; variable != nullptr && *variable != nullptr; ++variable) {
        const std::string_view text(*variable);
        if (std::none_of(std::begin(token_variables), std::end(token_variables),
                         [&](std::string_view name) { return text.starts_with(name); })) {
            out.emplace_back(text);
        }
    }
    if (activation_token) {
        for (const std::string_view name : token_variables) {
            out.push_back(std::string(name) + *activation_token);
        }
    }
    return out;
}

std::optional<pid_t> spawn_program(const std::vector<std::string>& argv, ChildStreams streams,
                                   const std::vector<std::string>* environment) {
    if (argv.empty()) {
        return std::nullopt;
    }
    std::vector<char*> pointers = pointers_to(argv);
    std::vector<char*> variables;
    if (environment != nullptr) {
        variables = pointers_to(*environment);
    }

    SpawnFileActions actions;
    SpawnAttributes attributes;
    if (streams == ChildStreams::detached) {
        detach_streams(actions);
    }
    restore_sigpipe(attributes);

    pid_t child = 0;
    char** envp = environment != nullptr ? variables.data() : environ;
    if (posix_spawnp(&child, pointers[0], actions.get(), attributes.get(), pointers.data(), envp) != 0) {
        return std::nullopt;
    }
    return child;
}

}  // namespace lumenpad
