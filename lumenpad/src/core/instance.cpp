#include "lumenpad/instance.hpp"

#include "lumenpad-shared/base_dirs.hpp"
#include "lumenpad-shared/paths.hpp"
#include "lumenpad-shared/read_file.hpp"
#include "lumenpad-shared/text.hpp"
#include "lumenpad-shared/unique_fd.hpp"
#include "lumenpad/spawn.hpp"
#include "lumenpad/write_all.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <limits>

namespace lumenpad {

namespace {

// The pid file may lie in the shared /tmp, where anyone can plant a file or a
// link under its name: only what belongs to us is read, written or stopped.
std::optional<std::uint32_t> read_pid_file(const std::string& path) {
    int error = 0;
    const UniqueFd fd = open_regular_file(path, error);
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0 || !owned_by_us(st)) {
        return std::nullopt;
    }
    const auto text = read_all(fd, error);
    if (!text || !is_valid_utf8(*text)) {
        return std::nullopt;
    }
    return parse_pid(*text);
}

bool is_our_launcher(std::uint32_t pid) {
    const std::string process_dir = "/proc/" + std::to_string(pid);
    struct stat st {};
    if (::stat(process_dir.c_str(), &st) != 0 || !owned_by_us(st)) {
        return false;
    }
    const auto command = read_text_file(process_dir + "/comm");
    return command && trim(*command) == "lumenpad";
}

// Runs "kill PID" with our standard streams and waits for it.
void send_kill(std::uint32_t pid) {
    const auto child = spawn_program({"kill", std::to_string(pid)}, ChildStreams::inherited);
    if (!child) {
        return;
    }
    while (::waitpid(*child, nullptr, 0) < 0 && errno == EINTR) {
    }
}

}  // namespace

std::string pid_file_path() {
    if (auto dir = runtime_dir()) {
        return join_path(*dir, "lumenpad.pid");
    }
    // Each user's own name in the shared /tmp: a file that another user left
    // or planted under a common name would otherwise block ours for good.
    return "/tmp/lumenpad-" + std::to_string(::geteuid()) + ".pid";
}

std::optional<std::uint32_t> parse_pid(std::string_view text) {
    if (!is_valid_utf8(text)) {
        return std::nullopt;
    }
    text = trim(text);
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    if (text.empty()) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
        if (value > std::numeric_limits<std::uint32_t>::max()) {
            return std::nullopt;
        }
    }
    return static_cast<std::uint32_t>(value);
}

bool stop_running_instance() {
    const auto pid = read_pid_file(pid_file_path());
    if (!pid || !is_our_launcher(*pid)) {
        return false;
    }
    send_kill(*pid);
    return true;
}

void write_pid_file() {
    // Neither truncate before the owner is known, nor follow a link, nor wait
    // for a reader of a FIFO planted under the name.
    const UniqueFd fd(
        ::open(pid_file_path().c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666));
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || !owned_by_us(st) ||
        ::ftruncate(fd.get(), 0) != 0) {
        return;
    }
    write_all(fd.get(), std::to_string(::getpid()));
}

void remove_pid_file() {
    ::unlink(pid_file_path().c_str());
}

}  // namespace lumenpad
