#include "lumenpad-test/golden.hpp"

#include <gtest/gtest.h>

namespace lumenpad::test {
namespace {

struct PartCase {
    const char* expected;
    const char* actual;
    const char* message;
};

class SameText : public ::testing::TestWithParam<PartCase> {};

TEST_P(SameText, NamesWhereTheTextsPart) {
    const auto result = same_text(GetParam().expected, GetParam().actual);
    ASSERT_FALSE(result);
    EXPECT_NE(std::string(result.message()).find(GetParam().message), std::string::npos) << result.message();
}

INSTANTIATE_TEST_SUITE_P(
    Table, SameText,
    ::testing::Values(PartCase{"a\nbc\n", "a\nbd\n", "line 2, column 2"},
                      PartCase{"a\nb\n", "a\nb", "line 2, column 2 (expected 4 bytes, got 3)"},
                      PartCase{"", "x", "line 1, column 1"},
                      PartCase{"x", "y", "\n  expected: x\n  actual:   y"},
                      PartCase{"0123456789012345678901234567890123456789012345678901234567890",
                               "0123456789012345678901234567890123456789012345678901234567891",
                               "column 61 (expected 61 bytes, got 61)\n  expected: "
                               "...01234567890123456789012345678901234567890\n"
                               "  actual:   ...01234567890123456789012345678901234567891"}));

TEST(SameText, AcceptsEqualTexts) {
    EXPECT_TRUE(same_text("one\nline", "one\nline"));
}

}  // namespace
}  // namespace lumenpad::test
