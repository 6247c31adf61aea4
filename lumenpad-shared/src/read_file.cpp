#include "lumenpad-shared/read_file.hpp"

#include "lumenpad-shared/text.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

namespace lumenpad {

bool owned_by_us(const struct stat& st) {
    return st.st_uid == ::geteuid();
}

UniqueFd open_regular_file(const std::string& path, int& error) {
    // O_NONBLOCK: opening a FIFO without a writer would otherwise wait forever.
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!fd) {
        error = errno;
        return {};
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        error = errno;
        return {};
    }
    if (!S_ISREG(st.st_mode)) {
        error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        return {};
    }
    // Known to be too large: refused before any of it is read.
    if (static_cast<std::uint64_t>(st.st_size) > max_file_size) {
        error = EFBIG;
        return {};
    }
    return fd;
}

std::optional<std::string> read_all(const UniqueFd& fd, int& error, size_t limit) {
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        error = errno;
        return std::nullopt;
    }
    if (static_cast<size_t>(st.st_size) > limit) {
        error = EFBIG;
        return std::nullopt;
    }
    // Files can grow while we read them; st_size is only a hint, and the
    // bound is checked again as the data comes in.
    std::string data(static_cast<size_t>(st.st_size) + 1, '\0');
    size_t used = 0;
    while (true) {
        if (used == data.size()) {
            if (data.size() > limit) {
                error = EFBIG;
                return std::nullopt;
            }
            data.resize(std::min(data.size() * 2, limit + 1));
        }
        const ssize_t n = ::read(fd.get(), data.data() + used, data.size() - used);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            error = errno;
            return std::nullopt;
        }
        if (n == 0) {
            break;
        }
        used += static_cast<size_t>(n);
    }
    if (used > limit) {
        error = EFBIG;
        return std::nullopt;
    }
    data.resize(used);
    return data;
}

std::optional<std::string> read_file(const std::string& path, int& error, size_t limit) {
    const UniqueFd fd = open_regular_file(path, error);
    if (!fd) {
        return std::nullopt;
    }
    return read_all(fd, error, limit);
}

std::optional<std::string> read_file(const std::string& path) {
    int error = 0;
    return read_file(path, error);
}

std::optional<std::string> read_text_file(const std::string& path, int& error, size_t limit) {
    auto data = read_file(path, error, limit);
    if (data && !is_valid_utf8(*data)) {
        error = EILSEQ;
        return std::nullopt;
    }
    return data;
}

std::optional<std::string> read_text_file(const std::string& path) {
    int error = 0;
    return read_text_file(path, error);
}

}  // namespace lumenpad
