// The theme library's last fallbacks need a user without any home: one with
// no password entry, no HOME and no XDG_CACHE_HOME.
#pragma once

#include <pwd.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

namespace oriel::testing {

// Runs `check` in a child process under a user id that has no password entry,
// without HOME and XDG_CACHE_HOME, in `dir`; returns whether it held. Needs
// root: callers skip otherwise.
inline bool holds_for_user_without_home(const std::filesystem::path& dir,
                                        const std::function<bool()>& check) {
    uid_t stranger = 54321;
    while (::getpwuid(stranger) != nullptr) {
        ++stranger;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::unsetenv("HOME");
        ::unsetenv("XDG_CACHE_HOME");
        const bool held =
            ::chdir(dir.c_str()) == 0 && ::setgid(stranger) == 0 && ::setuid(stranger) == 0 && check();
        ::_exit(held ? 0 : 1);
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

}  // namespace oriel::testing
