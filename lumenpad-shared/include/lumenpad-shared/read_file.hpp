// Reading the files other programs leave for us, safely: opening never blocks
// (FIFOs and devices count as unreadable) and no file may exceed a generous
// bound, so no input can hang the program or exhaust its memory.
#pragma once

#include "lumenpad-shared/unique_fd.hpp"

#include <sys/stat.h>

#include <cstddef>
#include <optional>
#include <string>

namespace lumenpad {

// Whether the file belongs to the user the program runs as (its effective
// uid): where others can leave files, only such a file is trusted or replaced.
bool owned_by_us(const struct stat& st);

// Larger files count as unreadable (EFBIG).
inline constexpr size_t max_file_size = 16 * 1024 * 1024;

// Opens a regular file for reading without blocking. On failure returns an
// empty owner and sets `error` to the errno: EISDIR for a directory, EINVAL
// for any other kind of file that is not a regular file, EFBIG for one known
// to be larger than max_file_size.
UniqueFd open_regular_file(const std::string& path, int& error);

// Reads a whole file opened by open_regular_file. On failure returns nothing
// and sets `error` to the errno (EFBIG past `limit`).
std::optional<std::string> read_all(const UniqueFd& fd, int& error, size_t limit = max_file_size);

// The whole file as bytes; `error` as above.
std::optional<std::string> read_file(const std::string& path, int& error, size_t limit = max_file_size);
std::optional<std::string> read_file(const std::string& path);

// The whole file when it is valid UTF-8; EILSEQ when it is not.
std::optional<std::string> read_text_file(const std::string& path, int& error, size_t limit = max_file_size);
std::optional<std::string> read_text_file(const std::string& path);

}  // namespace lumenpad
