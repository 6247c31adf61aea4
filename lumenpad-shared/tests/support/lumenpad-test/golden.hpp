// Generated text compared with an expected ("golden") file byte for byte,
// with a failure message that shows where the two part.
#pragma once

#include "lumenpad-test/files.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace lumenpad::test {

// The file `name` in the "data" folder beside the test source `test_file`
// (pass __FILE__); empty when it can't be read.
inline std::string golden(const char* test_file, const char* name) {
    return read_whole_file(std::filesystem::path(test_file).parent_path() / "data" / name);
}

// On a mismatch: the line and column of the first differing byte and, from
// each text, that line cut to the neighbourhood of the difference (some
// generated texts are one long line).
inline ::testing::AssertionResult same_text(std::string_view expected, std::string_view actual) {
    if (expected == actual) {
        return ::testing::AssertionSuccess();
    }
    const auto at = static_cast<std::size_t>(
        std::mismatch(expected.begin(), expected.end(), actual.begin(), actual.end()).first -
        expected.begin());
    const std::string_view before = expected.substr(0, at);
    const std::size_t line_start = before.rfind('\n') == std::string_view::npos ? 0 : before.rfind('\n') + 1;
    const std::size_t column = at - line_start;
    const std::size_t from = line_start + (column < 40 ? 0 : column - 40);
    // Both texts hold the same bytes up to `at`, so `from` lies in both.
    const auto excerpt = [&](std::string_view text) {
        std::string_view line = text.substr(from);
        line = line.substr(0, line.find('\n'));
        return std::string(from > line_start ? "..." : "") + std::string(line.substr(0, 80));
    };
    return ::testing::AssertionFailure()
           << "first difference at line " << std::count(before.begin(), before.end(), '\n') + 1 << ", column "
           << column + 1 << " (expected " << expected.size() << " bytes, got " << actual.size() << ")"
           << "\n  expected: " << excerpt(expected) << "\n  actual:   " << excerpt(actual);
}

}  // namespace lumenpad::test
