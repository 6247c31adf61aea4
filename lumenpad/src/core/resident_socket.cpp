#include "lumenpad/resident_socket.hpp"

#include "lumenpad/resident_request.hpp"
#include "lumenpad/resident_wire.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace lumenpad {

std::optional<std::string> resident_socket_path() {
    char path[sizeof(sockaddr_un::sun_path)];
    if (lumenpad_resident_socket_path(path, sizeof path) != 0) {
        return std::nullopt;
    }
    return std::string(path);
}

std::string encode_resident_request(const ResidentRequest& request) {
    std::vector<char*> environment;
    environment.reserve(request.environment.size() + 1);
    for (const std::string& entry : request.environment) {
        // The encoder only reads through these.
        environment.push_back(const_cast<char*>(entry.c_str()));
    }
    environment.push_back(nullptr);
    const size_t body_size = lumenpad_request_body_size(request.directory.c_str(), environment.data());
    if (body_size == 0) {
        return {};
    }
    std::string frame(LUMENPAD_REQUEST_HEADER + body_size, '\0');
    lumenpad_encode_request(frame.data(), body_size, request.directory.c_str(), environment.data());
    return frame;
}

DecodedRequest decode_resident_request(std::string_view received) {
    DecodedRequest decoded;
    const long frame_size = lumenpad_request_frame_size(received.data(), received.size());
    if (frame_size == 0 || (frame_size > 0 && received.size() < static_cast<size_t>(frame_size))) {
        return decoded;
    }
    const std::string_view body = received.substr(LUMENPAD_REQUEST_HEADER);
    if (frame_size < 0 || received.size() > static_cast<size_t>(frame_size) ||
        !lumenpad_request_body_valid(body.data(), body.size())) {
        decoded.state = DecodedRequest::State::malformed;
        return decoded;
    }
    decoded.state = DecodedRequest::State::complete;
    size_t start = 0;
    for (size_t end = body.find('\0'); end != std::string_view::npos; end = body.find('\0', start)) {
        std::string text(body.substr(start, end - start));
        if (start == 0) {
            decoded.request.directory = std::move(text);
        } else {
            decoded.request.environment.push_back(std::move(text));
        }
        start = end + 1;
    }
    return decoded;
}

namespace {

// What lstat found at the path, for a message that says what is there.
const char* kind_of(mode_t mode) {
    switch (mode & S_IFMT) {
        case S_IFREG:
            return "a regular file";
        case S_IFDIR:
            return "a directory";
        case S_IFLNK:
            return "a symbolic link";
        case S_IFIFO:
            return "a FIFO";
        case S_IFCHR:
            return "a character device";
        case S_IFBLK:
            return "a block device";
        default:
            return "something other than a socket";
    }
}

std::string failure(const std::string& what, const std::string& path, int error) {
    return what + " " + path + ": " + std::strerror(error);
}

UniqueFd unix_socket() {
    return UniqueFd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
}

sockaddr_un address_of(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return address;
}

// What is at the path now.
enum class Occupant { nothing, leftover, daemon, other };

struct Found {
    Occupant occupant = Occupant::nothing;
    struct stat st {};
    std::string message;
};

Found look_at(const std::string& path) {
    Found found;
    if (::lstat(path.c_str(), &found.st) != 0) {
        if (errno != ENOENT) {
            found.occupant = Occupant::other;
            found.message = failure("cannot look at", path, errno);
        }
        return found;
    }
    if (!S_ISSOCK(found.st.st_mode)) {
        found.occupant = Occupant::other;
        found.message =
            path + " is " + kind_of(found.st.st_mode) + ", not the daemon's socket; leaving it alone";
        return found;
    }
    const UniqueFd probe = unix_socket();
    if (!probe) {
        found.occupant = Occupant::other;
        found.message = failure("cannot create a socket for", path, errno);
        return found;
    }
    const sockaddr_un address = address_of(path);
    // A full backlog (EAGAIN) is a daemon too busy to accept at once.
    if (::connect(probe.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 ||
        errno == EAGAIN) {
        found.occupant = Occupant::daemon;
        found.message = "a daemon is already running on " + path;
    } else if (errno == ECONNREFUSED) {
        found.occupant = Occupant::leftover;
    } else {
        found.occupant = Occupant::other;
        found.message = failure("cannot connect to", path, errno);
    }
    return found;
}

// Binds and listens under a name of its own in the same directory, so that
// the socket only appears at the path once it answers, with mode 0600.
ClaimedSocket listen_beside(const std::string& path, std::string& temporary) {
    ClaimedSocket claimed;
    UniqueFd listener = unix_socket();
    if (!listener) {
        claimed.message = failure("cannot create a socket for", path, errno);
        return claimed;
    }
    const std::string directory = path.substr(0, path.rfind('/') + 1);
    for (int attempt = 0;; ++attempt) {
        char name[64];
        std::snprintf(name, sizeof name, ".lumenpad.sock.%d.%d", static_cast<int>(::getpid()), attempt);
        temporary = directory + name;
        if (temporary.size() >= sizeof(sockaddr_un::sun_path)) {
            claimed.message = failure("cannot listen on", path, ENAMETOOLONG);
            return claimed;
        }
        const sockaddr_un address = address_of(temporary);
        // Other threads may create files meanwhile; they get a narrower mode
        // at worst.
        const mode_t mask = ::umask(077);
        const int bound = ::bind(listener.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
        const int error = errno;
        ::umask(mask);
        if (bound == 0) {
            break;
        }
        if (error != EADDRINUSE || attempt == 100) {
            temporary.clear();
            claimed.message = failure("cannot listen on", path, error);
            return claimed;
        }
    }
    if (::chmod(temporary.c_str(), 0600) != 0 || ::listen(listener.get(), SOMAXCONN) != 0) {
        claimed.message = failure("cannot listen on", path, errno);
        return claimed;
    }
    claimed.listener = std::move(listener);
    return claimed;
}

// Removes the leftover socket found, unless something else took its place;
// the rename that follows tells whether the path is free.
void remove_leftover(const std::string& path, const struct stat& found) {
    struct stat now {};
    if (::lstat(path.c_str(), &now) == 0 && S_ISSOCK(now.st_mode) && now.st_dev == found.st_dev &&
        now.st_ino == found.st_ino) {
        ::unlink(path.c_str());
    }
}

}  // namespace

std::optional<std::string> resident_socket_refusal(const std::string& path) {
    if (path.size() >= sizeof(sockaddr_un::sun_path)) {
        return std::nullopt;
    }
    Found found = look_at(path);
    if (found.occupant == Occupant::daemon || found.occupant == Occupant::other) {
        return std::move(found.message);
    }
    return std::nullopt;
}

ClaimedSocket claim_resident_socket(const std::string& path) {
    if (path.size() >= sizeof(sockaddr_un::sun_path) || path.find('/') == std::string::npos) {
        return {UniqueFd(), failure("cannot listen on", path, ENAMETOOLONG)};
    }
    Found found = look_at(path);
    if (found.occupant == Occupant::daemon || found.occupant == Occupant::other) {
        return {UniqueFd(), found.message};
    }
    std::string temporary;
    ClaimedSocket claimed = listen_beside(path, temporary);
    // Another daemon may claim the path between our look and our rename: the
    // rename never replaces, and we look again.
    for (int attempt = 0; claimed.listener && attempt < 3; ++attempt) {
        if (found.occupant == Occupant::leftover) {
            remove_leftover(path, found.st);
        }
        if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) == 0) {
            return claimed;
        }
        if (errno != EEXIST) {
            claimed = {UniqueFd(), failure("cannot listen on", path, errno)};
            break;
        }
        found = look_at(path);
        if (found.occupant == Occupant::daemon || found.occupant == Occupant::other) {
            claimed = {UniqueFd(), found.message};
        }
    }
    if (!temporary.empty()) {
        ::unlink(temporary.c_str());
    }
    if (claimed.listener) {
        claimed = {UniqueFd(), failure("cannot listen on", path, EEXIST)};
    }
    return claimed;
}

}  // namespace lumenpad
