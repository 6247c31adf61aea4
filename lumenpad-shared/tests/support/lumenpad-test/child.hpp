// Parts of a test that must not change the test process itself run in a
// forked child: taking on another user id, or a private mount namespace with
// a private /tmp. The child reports back in text.
#pragma once

#include <errno.h>
#include <pwd.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <exception>
#include <functional>
#include <string>

namespace lumenpad::test {

// A child's report that starts with this asks the test to be skipped.
inline constexpr std::string_view skip_report = "skip: ";

// Runs `body` in a forked child and returns its report: empty when all held,
// otherwise what failed, or how the child ended.
inline std::string in_child(const std::function<std::string()>& body) {
    int pipe_fds[2];
    if (::pipe(pipe_fds) != 0) {
        return "could not make a pipe";
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipe_fds[0]);
        std::string report;
        try {
            report = body();
        } catch (const std::exception& e) {
            report = std::string("exception: ") + e.what();
        }
        for (std::size_t done = 0; done < report.size();) {
            const ssize_t n = ::write(pipe_fds[1], report.data() + done, report.size() - done);
            if (n <= 0) {
                break;
            }
            done += static_cast<std::size_t>(n);
        }
        ::_exit(0);
    }
    ::close(pipe_fds[1]);
    std::string report = child < 0 ? "could not fork" : "";
    char buffer[512];
    ssize_t n = 0;
    while (child > 0 &&
           ((n = ::read(pipe_fds[0], buffer, sizeof(buffer))) > 0 || (n < 0 && errno == EINTR))) {
        report.append(buffer, static_cast<std::size_t>(n > 0 ? n : 0));
    }
    ::close(pipe_fds[0]);
    int status = 0;
    while (child > 0 && ::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (child > 0 && !(WIFEXITED(status) && WEXITSTATUS(status) == 0)) {
        report += " (the child ended abnormally)";
    }
    return report;
}

// A user id with no password entry, so with no home anywhere.
inline uid_t uid_without_password_entry() {
    uid_t stranger = 54321;
    while (::getpwuid(stranger) != nullptr) {
        ++stranger;
    }
    return stranger;
}

// In a child: a mount namespace of its own, where mounts stay private. Empty
// when it worked, otherwise a skip report.
inline std::string enter_private_mounts() {
    if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        return std::string(skip_report) + "no private mount namespace (needs root and unshare)";
    }
    return {};
}

// In a child inside enter_private_mounts(): a fresh tmpfs over `dir`.
inline bool mount_tmpfs(const std::string& dir, const std::string& options = "mode=0755") {
    return ::mount("tmpfs", dir.c_str(), "tmpfs", 0, options.c_str()) == 0;
}

}  // namespace lumenpad::test
