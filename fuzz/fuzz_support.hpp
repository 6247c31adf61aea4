// Helpers for the fuzz targets: an in-memory file for readers that take a
// path, and a check that makes libFuzzer report a broken invariant.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace lumenpad::fuzz {

inline std::string_view as_text(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// Aborts, which libFuzzer reports with the input, when `holds` is false.
inline void check(bool holds, const char* what) {
    if (!holds) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

// A regular file in memory, holding `content` at every call; its path opens
// it anew, as the readers do with files on disk.
inline const std::string& memory_file(std::string_view content) {
    static const int fd = ::memfd_create("fuzz-input", MFD_CLOEXEC);
    static const std::string path = "/proc/self/fd/" + std::to_string(fd);
    check(fd >= 0, "memfd_create");
    check(::ftruncate(fd, 0) == 0, "ftruncate");
    std::size_t written = 0;
    while (written < content.size()) {
        const ssize_t n =
            ::pwrite(fd, content.data() + written, content.size() - written, static_cast<off_t>(written));
        check(n > 0, "pwrite");
        written += static_cast<std::size_t>(n);
    }
    return path;
}

}  // namespace lumenpad::fuzz
