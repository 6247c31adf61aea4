#include "lumenpad/spawn.hpp"

#include "lumenpad-shared/paths.hpp"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

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

// SIGPIPE at its default, and a session of the child's own if asked for.
void set_attributes(SpawnAttributes& attributes, ChildSession session) {
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(attributes.get(), &defaults);
    short flags = POSIX_SPAWN_SETSIGDEF;
    if (session == ChildSession::own) {
        flags |= POSIX_SPAWN_SETSID;
    }
    posix_spawnattr_setflags(attributes.get(), flags);
}

// Streams on /dev/null and nothing else of ours open but `kept`, when
// given, as descriptor 3.
void detach_streams(SpawnFileActions& actions, int kept = -1) {
    for (int fd = 0; fd <= 2; ++fd) {
        posix_spawn_file_actions_addopen(actions.get(), fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0);
    }
    if (kept >= 0) {
        posix_spawn_file_actions_adddup2(actions.get(), kept, 3);
    }
    posix_spawn_file_actions_addclosefrom_np(actions.get(), kept >= 0 ? 4 : 3);
}

// Where exec looks for `program`, in order, as posix_spawnp does: the name
// itself when it holds a '/', else each directory of the PATH of
// `environment`, or of the launcher's own.
std::vector<std::string> exec_candidates(const std::string& program,
                                         const std::vector<std::string>* environment) {
    if (program.find('/') != std::string::npos) {
        return {program};
    }
    std::optional<std::string_view> path;
    if (environment != nullptr) {
        path = variable_in(*environment, "PATH");
    } else if (const char* own = std::getenv("PATH")) {
        path = own;
    }
    std::vector<std::string> candidates;
    for (const std::string_view dir : split_path_list(path.value_or("/bin:/usr/bin"))) {
        candidates.push_back(join_path(dir, program));
    }
    return candidates;
}

// What a held child runs first: it waits for a line, or the end, on
// descriptor 3, closes it and becomes the program, under the same pid.
// A step through the shell rather than a fork of the launcher, whose
// address space copied on write costs the launch tens of milliseconds.
constexpr const char* wait_then_exec = "read -r _ <&3; exec 3<&-; exec \"$@\"";

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

bool is_executable_file(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

}  // namespace

std::optional<std::string_view> variable_in(const std::vector<std::string>& environment,
                                            std::string_view name) {
    for (const std::string& text : environment) {
        if (text.size() > name.size() && text.starts_with(name) && text[name.size()] == '=') {
            return std::string_view(text).substr(name.size() + 1);
        }
    }
    return std::nullopt;
}

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
                                   const std::vector<std::string>* environment, const std::string* directory,
                                   ChildSession session) {
    if (argv.empty()) {
        return std::nullopt;
    }
    std::vector<char*> pointers = pointers_to(argv);
    std::vector<char*> variables;
    // The program is looked for where the child's own PATH leads, which may
    // not be the launcher's.
    std::optional<std::string> program;
    if (environment != nullptr) {
        variables = pointers_to(*environment);
        const std::vector<std::string> candidates = exec_candidates(argv[0], environment);
        const auto found = std::find_if(candidates.begin(), candidates.end(), is_executable_file);
        if (found == candidates.end()) {
            return std::nullopt;
        }
        program = *found;
    }

    SpawnFileActions actions;
    SpawnAttributes attributes;
    if (streams == ChildStreams::detached) {
        detach_streams(actions);
    }
    if (directory != nullptr) {
        posix_spawn_file_actions_addchdir_np(actions.get(), directory->c_str());
    }
    set_attributes(attributes, session);

    pid_t child = 0;
    const int failed = program ? posix_spawn(&child, program->c_str(), actions.get(), attributes.get(),
                                             pointers.data(), variables.data())
                               : posix_spawnp(&child, pointers[0], actions.get(), attributes.get(),
                                              pointers.data(), environ);
    if (failed != 0) {
        return std::nullopt;
    }
    return child;
}

std::optional<HeldChild> spawn_held(const std::vector<std::string>& argv,
                                    const std::vector<std::string>* environment, const std::string* directory,
                                    ChildSession session) {
    if (argv.empty()) {
        return std::nullopt;
    }
    const std::vector<std::string> candidates = exec_candidates(argv[0], environment);
    if (std::none_of(candidates.begin(), candidates.end(),
                     [](const std::string& path) { return access(path.c_str(), X_OK) == 0; })) {
        return std::nullopt;
    }
    std::vector<std::string> step{"sh", "-c", wait_then_exec, "sh"};
    step.insert(step.end(), argv.begin(), argv.end());
    std::vector<char*> pointers = pointers_to(step);
    std::vector<char*> variables;
    if (environment != nullptr) {
        variables = pointers_to(*environment);
    }

    // A socket rather than a pipe: the release is sent without SIGPIPE
    // should the child be gone.
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        return std::nullopt;
    }
    UniqueFd ours(ends[0]);
    const UniqueFd theirs(ends[1]);
    SpawnFileActions actions;
    SpawnAttributes attributes;
    detach_streams(actions, theirs.get());
    if (directory != nullptr) {
        posix_spawn_file_actions_addchdir_np(actions.get(), directory->c_str());
    }
    set_attributes(attributes, session);

    pid_t child = 0;
    char** envp = environment != nullptr ? variables.data() : environ;
    if (posix_spawn(&child, "/bin/sh", actions.get(), attributes.get(), pointers.data(), envp) != 0) {
        return std::nullopt;
    }
    return HeldChild{child, std::move(ours)};
}

void release_child(HeldChild& child) {
    if (child.release) {
        send(child.release.get(), "\n", 1, MSG_NOSIGNAL);
        child.release.reset();
    }
}

}  // namespace lumenpad
