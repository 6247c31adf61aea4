#include "lumenpad-shared/json_object.hpp"

#include <gtest/gtest.h>

namespace lumenpad {
namespace {

// Which alternative the parser chose for each member.
std::optional<JsonObject<std::size_t>> kinds(std::string_view text) {
    return parse_flat_json_object<std::size_t>(
        text, [](const JsonScalar& value) -> std::optional<std::size_t> { return value.index(); });
}

TEST(FlatJsonObject, HandsEveryScalarToTheRuleAsWritten) {
    const JsonObject<std::size_t> expected{{"null", 0},  {"bool", 1},     {"negative", 2},
                                           {"count", 3}, {"fraction", 4}, {"text", 5}};
    EXPECT_EQ(kinds(R"({"null": null, "bool": true, "negative": -1, "count": 1, "fraction": 1.0,
                        "text": "x"})"),
              expected);
    EXPECT_EQ(kinds("{}"), JsonObject<std::size_t>{});
}

struct RefusedCase {
    const char* label;
    const char* text;
};
void PrintTo(const RefusedCase& c, std::ostream* out) {
    *out << c.label;
}

class FlatJsonObjectRefuses : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(FlatJsonObjectRefuses, TheWholeText) {
    EXPECT_EQ(kinds(GetParam().text), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FlatJsonObjectRefuses,
    ::testing::Values(RefusedCase{"NestedObject", R"({"a": {}})"}, RefusedCase{"Array", R"({"a": []})"},
                      RefusedCase{"TopLevelArray", "[]"}, RefusedCase{"TopLevelScalar", "1"},
                      RefusedCase{"TwoDocuments", "{} {}"}, RefusedCase{"ByteOrderMark", "\xEF\xBB\xBF{}"},
                      RefusedCase{"Empty", ""}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(FlatJsonObject, ARefusedValueRefusesTheWholeObjectAndLaterNamesWin) {
    const auto only_text = [](JsonScalar value) -> std::optional<std::string> {
        if (auto* text = std::get_if<std::string>(&value)) {
            return std::move(*text);
        }
        return std::nullopt;
    };
    EXPECT_EQ(parse_flat_json_object<std::string>(R"({"a": "x", "b": 1})", only_text), std::nullopt);
    EXPECT_EQ(parse_flat_json_object<std::string>(R"({"a": "x", "a": "y"})", only_text),
              (JsonObject<std::string>{{"a", "y"}}));
}

}  // namespace
}  // namespace lumenpad
