#include "oriel-theme/stylesheet.hpp"

#include "lumenpad-test/golden.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

namespace oriel {
namespace {

std::vector<std::string> split_lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

using lumenpad::test::golden;
using lumenpad::test::same_text;

TEST(GenerateStylesheet, MatchesTheGoldenFileForTheDefaultPalette) {
    const std::string expected = golden(__FILE__, "default.css");
    ASSERT_FALSE(expected.empty());
    EXPECT_TRUE(same_text(expected, generate_stylesheet(default_palette())));
}

TEST(GenerateStylesheet, HasSixteenDefinitionsThenThirtyNineRules) {
    const auto lines = split_lines(generate_stylesheet(default_palette()));
    ASSERT_EQ(lines.size(), 16u + 39u);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].starts_with("@define-color "), i < 16) << lines[i];
    }
    EXPECT_EQ(lines[16], "* { font-family: 'Varela Round, sans-serif'; font-size: 14px; }");
    EXPECT_EQ(lines[16 + 7],
              "button { background-color: @surface; color: @on-surface; border: none;border-radius: 8px; "
              "padding: 8px 16px; }");
    EXPECT_EQ(
        lines[16 + 32],
        ".chip, .pill { background-color: @overlay; color: @on-overlay; border-radius: 999px;padding: 4px "
        "12px; font-size: 12px; }");
}

TEST(GenerateStylesheet, InsertsPaletteTextsAndTheirInks) {
    Palette palette = default_palette();
    palette.color4 = "#ffffff";
    palette.background = "#fafafa";
    palette.color7 = "not;a\ncolour";
    const std::string css = generate_stylesheet(palette);
    for (const char* line : {"@define-color accent #ffffff;\n", "@define-color blue #ffffff;\n",
                             "@define-color on-accent #11111b;\n", "@define-color bg #fafafa;\n",
                             "@define-color on-bg #11111b;\n", "@define-color overlay not;a\ncolour;\n",
                             "@define-color on-overlay #f5f5f5;\n"}) {
        EXPECT_NE(css.find(line), std::string::npos) << line;
    }
}

TEST(GenerateStylesheet, EndsWithALineFeed) {
    EXPECT_TRUE(generate_stylesheet(default_palette()).ends_with("; }\n"));
    EXPECT_TRUE(generate_stylesheet(Palette{}).ends_with("; }\n"));
}

}  // namespace
}  // namespace oriel
