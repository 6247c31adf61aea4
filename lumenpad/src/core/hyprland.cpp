#include "lumenpad/hyprland.hpp"

#include "lumenpad-shared/base_dirs.hpp"
#include "lumenpad-shared/json.hpp"
#include "lumenpad-shared/text.hpp"
#include "lumenpad-shared/unique_fd.hpp"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <nlohmann/json.hpp>

namespace lumenpad {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::string_view request = "j/activeworkspace";

// A real reply is under 2 KiB; anything near this is not Hyprland, and a
// bigger one would cost noticeable time and memory to parse.
constexpr std::size_t max_reply_size = 64 * 1024;

// How long to wait before trying again when the listener's backlog is full.
constexpr std::chrono::milliseconds connect_retry{10};

int remaining_ms(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
}

// Waits until `fd` is ready for `events` (or has failed, which the next call
// on it reports). False when the deadline passed first.
bool wait_for(int fd, short events, Clock::time_point deadline) {
    while (true) {
        const int timeout = remaining_ms(deadline);
        if (timeout == 0) {
            return false;
        }
        pollfd entry{fd, events, 0};
        const int ready = ::poll(&entry, 1, timeout);
        if (ready > 0) {
            return true;
        }
        if (ready < 0 && errno != EINTR) {
            return false;
        }
    }
}

bool connect_before(int fd, const sockaddr_un& address, Clock::time_point deadline) {
    while (true) {
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0) {
            return true;
        }
        if (errno == EAGAIN) {
            // A local socket reports a full backlog at once and cannot be
            // polled for it: try again shortly.
            const int timeout = std::min<int>(remaining_ms(deadline), connect_retry.count());
            if (timeout == 0) {
                return false;
            }
            ::poll(nullptr, 0, timeout);
            continue;
        }
        if (errno != EINPROGRESS && errno != EINTR) {
            return false;
        }
        if (!wait_for(fd, POLLOUT, deadline)) {
            return false;
        }
        int error = 0;
        socklen_t size = sizeof(error);
        return ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
    }
}

bool send_before(int fd, std::string_view data, Clock::time_point deadline) {
    while (!data.empty()) {
        const ssize_t n = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
        if (n > 0) {
            data.remove_prefix(static_cast<std::size_t>(n));
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!wait_for(fd, POLLOUT, deadline)) {
                return false;
            }
        } else {
            return false;
        }
    }
    return true;
}

std::optional<std::string> receive_before(int fd, Clock::time_point deadline) {
    std::string reply;
    std::array<char, 4096> buffer{};
    while (true) {
        const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
        if (n == 0) {
            return reply;
        }
        if (n > 0) {
            if (reply.size() + static_cast<std::size_t>(n) > max_reply_size) {
                return std::nullopt;
            }
            reply.append(buffer.data(), static_cast<std::size_t>(n));
        } else if (errno == EINTR) {
            continue;
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            if (!wait_for(fd, POLLIN, deadline)) {
                return std::nullopt;
            }
        } else {
            return std::nullopt;
        }
    }
}

// Keeps the top-level object's last "name" member, when it is a string, and
// gives up once the deadline has passed. Nothing else of the reply is kept.
class WorkspaceReader final : public nlohmann::json_sax<nlohmann::json> {
public:
    explicit WorkspaceReader(Clock::time_point deadline) : deadline_(deadline) {}

    bool null() override { return value(std::nullopt); }
    bool boolean(bool) override { return value(std::nullopt); }
    bool number_integer(number_integer_t) override { return value(std::nullopt); }
    bool number_unsigned(number_unsigned_t) override { return value(std::nullopt); }
    bool number_float(number_float_t, const string_t&) override { return value(std::nullopt); }
    bool string(string_t& text) override { return value(std::move(text)); }
    bool binary(binary_t&) override { return false; }
    bool start_object(std::size_t) override { return open(); }
    bool start_array(std::size_t) override {
        // Only an object at the top can hold the name.
        return depth_ > 0 && open();
    }
    bool end_object() override { return close(); }
    bool end_array() override { return close(); }
    bool key(string_t& name) override {
        name_is_next_ = depth_ == 1 && name == "name";
        return in_time();
    }
    bool parse_error(std::size_t, const std::string&, const nlohmann::json::exception&) override {
        return false;
    }

    std::optional<std::string> name;

private:
    // The clock is read now and then, not at every event: it costs more than
    // most events do.
    bool in_time() { return ++events_ % 256 != 0 || Clock::now() < deadline_; }

    bool open() {
        if (depth_ == 1) {
            value(std::nullopt);
        }
        ++depth_;
        return in_time();
    }
    bool close() {
        --depth_;
        return in_time();
    }
    // A value at the top (not an object) is refused; a later "name" member
    // replaces an earlier one, whatever its type.
    bool value(std::optional<std::string> text) {
        if (depth_ == 0) {
            return false;
        }
        if (name_is_next_) {
            name = std::move(text);
            name_is_next_ = false;
        }
        return in_time();
    }

    Clock::time_point deadline_;
    std::size_t depth_ = 0;
    std::size_t events_ = 0;
    bool name_is_next_ = false;
};

}  // namespace

std::optional<std::string> hyprland_socket_path() {
    const auto signature = env_text("HYPRLAND_INSTANCE_SIGNATURE");
    if (!signature) {
        return std::nullopt;
    }
    const auto runtime = runtime_dir();
    if (!runtime) {
        return std::nullopt;
    }
    return *runtime + "/hypr/" + *signature + "/.socket.sock";
}

std::optional<std::string> query_active_workspace() {
    const auto path = hyprland_socket_path();
    if (!path) {
        return std::nullopt;
    }
    return query_active_workspace(*path, hyprland_time_limit);
}

std::optional<std::string> query_active_workspace(std::string_view socket_path,
                                                  std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    // The address needs room for a terminating NUL, and a NUL inside would
    // name another socket.
    if (socket_path.size() >= sizeof(address.sun_path) || socket_path.find('\0') != std::string_view::npos) {
        return std::nullopt;
    }
    std::memcpy(address.sun_path, socket_path.data(), socket_path.size());

    const UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!fd || !connect_before(fd.get(), address, deadline) || !send_before(fd.get(), request, deadline) ||
        ::shutdown(fd.get(), SHUT_WR) != 0) {
        return std::nullopt;
    }
    const auto reply = receive_before(fd.get(), deadline);
    if (!reply) {
        return std::nullopt;
    }
    return workspace_name_from_reply(*reply, deadline);
}

std::optional<std::string> workspace_name_from_reply(std::string_view reply, Clock::time_point deadline) {
    if (!is_valid_utf8(reply)) {
        return std::nullopt;
    }
    WorkspaceReader reader(deadline);
    if (!sax_parse_json(reply, &reader) || Clock::now() >= deadline) {
        return std::nullopt;
    }
    return std::move(reader.name);
}

}  // namespace lumenpad
