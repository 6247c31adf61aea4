#include "lumenpad/launcher_stylesheet.hpp"

#include "lumenpad-test/golden.hpp"
#include "lumenpad-test/temp_home.hpp"

#include <gtest/gtest.h>

namespace lumenpad {
namespace {

using test::golden;
using test::same_text;

TEST(LauncherStylesheet, MatchesTheGoldenFileForTheDefaultPalette) {
    const std::string expected = golden(__FILE__, "launcher-default.css");
    ASSERT_FALSE(expected.empty());
    EXPECT_TRUE(same_text(expected, launcher_stylesheet(oriel::default_palette())));
}

TEST(LauncherStylesheet, HasNoLineBreakWhateverThePalette) {
    EXPECT_EQ(launcher_stylesheet(oriel::Palette{}).find('\n'), std::string::npos);
    oriel::Palette palette = oriel::default_palette();
    palette.color4 = "blue";
    EXPECT_EQ(launcher_stylesheet(palette).find('\n'), std::string::npos);
}

TEST(LauncherStylesheet, InsertsATextThatIsNoColourUnchanged) {
    oriel::Palette palette = oriel::default_palette();
    palette.color0 = "red";
    const std::string css = launcher_stylesheet(palette);
    EXPECT_NE(css.find("entry.search { background-color: red; color: #f5f5f5; caret-color: #89b4fa;"),
              std::string::npos)
        << css;
    EXPECT_NE(css.find("row:hover { background-color: red; color: #f5f5f5; }"), std::string::npos) << css;
    EXPECT_NE(css.find("row:selected { background-color: red; color: #f5f5f5; }"), std::string::npos) << css;
}

TEST(LauncherStylesheet, InksFollowTheBackgroundAndSurface) {
    oriel::Palette palette = oriel::default_palette();
    palette.background = "#ffffff";
    palette.color0 = "#eeeeee";
    const std::string css = launcher_stylesheet(palette);
    EXPECT_NE(css.find(".launcher-bg { background-color: rgba(255, 255, 255, 0.6); color: #11111b;"),
              std::string::npos)
        << css;
    EXPECT_NE(css.find("row { padding: 8px 12px; color: #11111b;"), std::string::npos) << css;
    EXPECT_NE(css.find("row:selected { background-color: #eeeeee; color: #11111b; }"), std::string::npos)
        << css;
}

class LauncherExtraStylesheet : public test::TempHomeTest {};

TEST_F(LauncherExtraStylesheet, ReadsThePaletteAnewOnEveryCall) {
    EXPECT_EQ(launcher_extra_stylesheet(), launcher_stylesheet(oriel::default_palette()));
    home.write(".cache/wal/colors.json", R"({"colors": {"color4": "#123456"}})");
    EXPECT_NE(launcher_extra_stylesheet().find("caret-color: #123456;"), std::string::npos);
    home.write(".cache/wal/colors.json", R"({"colors": {"color4": "#654321"}})");
    EXPECT_NE(launcher_extra_stylesheet().find("caret-color: #654321;"), std::string::npos);
}

}  // namespace
}  // namespace lumenpad
