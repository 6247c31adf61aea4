#include "oriel-theme/palette.hpp"

#include "lumenpad-test/scoped_env.hpp"
#include "lumenpad-test/temp_dir.hpp"
#include "user_without_home.hpp"

#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <functional>

namespace oriel {
namespace {

using lumenpad::test::ScopedEnv;
using lumenpad::test::TempDir;
using lumenpad::test::write_file;

Palette defaults_with(const std::function<void(Palette&)>& edit) {
    Palette palette = default_palette();
    edit(palette);
    return palette;
}

struct WalCase {
    const char* name;
    std::string json;
    std::optional<Palette> expected;
};

void PrintTo(const WalCase& c, std::ostream* out) {
    *out << c.name;
}

class ParseWalColors : public ::testing::TestWithParam<WalCase> {};

TEST_P(ParseWalColors, AcceptsOrRejectsTheWholeDocument) {
    const WalCase& c = GetParam();
    const auto palette = parse_wal_colors(c.json);
    ASSERT_EQ(palette.has_value(), c.expected.has_value()) << c.json;
    if (palette) {
        EXPECT_EQ(*palette, *c.expected) << c.json;
    }
}

const Palette full{
    .background = "#000001",
    .foreground = "#000002",
    .color0 = "#000010",
    .color1 = "#000011",
    .color2 = "#000012",
    .color3 = "#000013",
    .color4 = "#000014",
    .color5 = "#000015",
    .color6 = "#000016",
    .color7 = "#000017",
};

INSTANTIATE_TEST_SUITE_P(
    Documents, ParseWalColors,
    ::testing::Values(
        WalCase{"full", R"({"special": {"background": "#000001", "foreground": "#000002"},
            "colors": {"color0": "#000010", "color1": "#000011", "color2": "#000012", "color3": "#000013",
                       "color4": "#000014", "color5": "#000015", "color6": "#000016", "color7": "#000017",
                       "color8": "#ffffff", "color15": "#ffffff"}})",
                full},
        WalCase{"empty object", "{}", default_palette()},
        WalCase{"null special and one colour", R"({"special": null, "colors": {"color4": "#ff0000"}})",
                defaults_with([](Palette& p) { p.color4 = "#ff0000"; })},
        WalCase{"special members null or absent", R"({"special": {"background": null}})", default_palette()},
        WalCase{"only foreground", R"({"special": {"foreground": "#123456"}})",
                defaults_with([](Palette& p) { p.foreground = "#123456"; })},
        WalCase{"texts that are no colours pass unchanged",
                R"({"special": {"background": "red"}, "colors": {"color0": "#1e1e2eff", "color1": ""}})",
                defaults_with([](Palette& p) {
                    p.background = "red";
                    p.color0 = "#1e1e2eff";
                    p.color1 = "";
                })},
        WalCase{"escapes are decoded", R"({"colors": {"color2": "\u0023ab\tc"}})",
                defaults_with([](Palette& p) { p.color2 = "#ab\tc"; })},
        WalCase{"names are case-sensitive", R"({"colors": {"Color4": "#ff0000", "color4 ": "#ff0000"}})",
                default_palette()},
        WalCase{"a repeated colour: the later counts",
                R"({"colors": {"color3": "#111111", "color3": "#222222"}})",
                defaults_with([](Palette& p) { p.color3 = "#222222"; })},
        WalCase{"unknown members with any value are skipped",
                R"({"wallpaper": "/x.png", "alpha": 100, "nested": {"colors": [1, {"special": 2}]},
                    "flag": true, "none": null, "wallpaper": [],
                    "special": {"cursor": {"a": [1.5e3]}, "background": "#101010", "cursor": 3},
                    "background": 1, "background": 2})",
                defaults_with([](Palette& p) { p.background = "#101010"; })},
        WalCase{"white space after the document", "{}\n\t \r\n", default_palette()},
        WalCase{"white space before the document", " \n{}", default_palette()},

        WalCase{"empty text", "", std::nullopt}, WalCase{"only white space", "  \n", std::nullopt},
        WalCase{"not an object", R"(["colors"])", std::nullopt},
        WalCase{"null document", "null", std::nullopt},
        WalCase{"text after the object", R"({"colors": {}} x)", std::nullopt},
        WalCase{"a second document", "{}{}", std::nullopt},
        WalCase{"a comment", "/* wal */ {}", std::nullopt},
        WalCase{"a byte-order mark", "\xEF\xBB\xBF{}", std::nullopt},
        WalCase{"a NUL byte after the object", std::string("{}") + '\0' + "anything", std::nullopt},
        WalCase{"unterminated", R"({"colors": {"color0": "#000000"})", std::nullopt},
        WalCase{"a number among the colours", R"({"special": {"background": "#000001"},
            "colors": {"color0": "#000010", "wallpaper_index": 3}})",
                std::nullopt},
        WalCase{"a null colour", R"({"colors": {"color0": null}})", std::nullopt},
        WalCase{"an object among the colours", R"({"colors": {"extra": {}}})", std::nullopt},
        WalCase{"colors is null", R"({"colors": null})", std::nullopt},
        WalCase{"colors is an array", R"({"colors": ["#000000"]})", std::nullopt},
        WalCase{"special is a text", R"({"special": "#000000"})", std::nullopt},
        WalCase{"special is an array", R"({"special": []})", std::nullopt},
        WalCase{"background is a number", R"({"special": {"background": 0}})", std::nullopt},
        WalCase{"foreground is an object", R"({"special": {"foreground": {}}})", std::nullopt},
        WalCase{"colors repeated", R"({"colors": {}, "colors": {}})", std::nullopt},
        WalCase{"special repeated, both null", R"({"special": null, "special": null})", std::nullopt},
        WalCase{"background repeated", R"({"special": {"background": "#1", "background": "#2"}})",
                std::nullopt},
        WalCase{"foreground repeated, once null", R"({"special": {"foreground": null, "foreground": "#2"}})",
                std::nullopt},
        WalCase{"a lone surrogate", R"({"colors": {"color0": "\ud800"}})", std::nullopt}),
    [](const ::testing::TestParamInfo<WalCase>& info) {
        std::string name;
        for (const char* c = info.param.name; *c != '\0'; ++c) {
            name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
        }
        return name;
    });

const char* const marker_scheme = R"({"colors": {"color4": "#abcdef"}})";

class PaletteFiles : public ::testing::Test {
protected:
    void SetUp() override {
        env.set("HOME", dir / "home");
        env.unset("XDG_CACHE_HOME");
    }

    TempDir dir;
    ScopedEnv env;
};

TEST_F(PaletteFiles, ReadsTheSchemeUnderHomeWithoutCacheVariable) {
    write_file(dir / "home/.cache/wal/colors.json", marker_scheme);
    EXPECT_EQ(user_cache_dir(), dir / "home/.cache");
    EXPECT_EQ(load_palette().color4, "#abcdef");
}

TEST_F(PaletteFiles, AbsoluteCacheVariableTakesPrecedence) {
    write_file(dir / "home/.cache/wal/colors.json", R"({"colors": {"color4": "#000000"}})");
    write_file(dir / "cache/wal/colors.json", marker_scheme);
    env.set("XDG_CACHE_HOME", dir / "cache");
    EXPECT_EQ(load_palette().color4, "#abcdef");
}

TEST_F(PaletteFiles, RelativeOrEmptyCacheVariableIsIgnored) {
    write_file(dir / "home/.cache/wal/colors.json", marker_scheme);
    for (const char* value : {"cache", "./cache", ""}) {
        env.set("XDG_CACHE_HOME", value);
        EXPECT_EQ(user_cache_dir(), dir / "home/.cache") << value;
        EXPECT_EQ(load_palette().color4, "#abcdef") << value;
    }
}

TEST_F(PaletteFiles, CacheVariableMayHoldAnyBytes) {
    const std::string cache = dir / "c\xff\xfe";
    write_file(cache + "/wal/colors.json", marker_scheme);
    env.set("XDG_CACHE_HOME", cache);
    EXPECT_EQ(user_cache_dir(), cache);
    EXPECT_EQ(load_palette().color4, "#abcdef");
}

TEST_F(PaletteFiles, UnusableFilesGiveTheWholeDefaultPalette) {
    const std::string path = dir / "home/.cache/wal/colors.json";
    EXPECT_EQ(load_palette(), default_palette()) << "missing file";
    for (const char* content : {"", "{\"colors\": {\"color4\": \"#ab\xff\"}}",
                                "{\"special\": {\"background\": \"#000000\"}, \"colors\": {\"n\": 1}}"}) {
        write_file(path, content);
        EXPECT_EQ(load_palette(), default_palette()) << content;
    }
    std::filesystem::remove(path);
    std::filesystem::create_directories(path);
    EXPECT_EQ(load_palette(), default_palette()) << "a directory";
}

TEST_F(PaletteFiles, EachLoadReadsTheFileAnew) {
    const std::string path = dir / "home/.cache/wal/colors.json";
    write_file(path, marker_scheme);
    EXPECT_EQ(load_palette().color4, "#abcdef");
    write_file(path, R"({"colors": {"color4": "#fedcba"}})");
    EXPECT_EQ(load_palette().color4, "#fedcba");
}

std::optional<std::string> password_home() {
    const passwd* entry = ::getpwuid(::getuid());
    if (entry == nullptr || entry->pw_dir == nullptr || *entry->pw_dir == '\0') {
        return std::nullopt;
    }
    return std::string(entry->pw_dir);
}

TEST_F(PaletteFiles, EmptyOrMissingHomeFallsBackToThePasswordDatabase) {
    env.set("HOME", "");
    EXPECT_EQ(user_home_dir(), password_home());
    env.unset("HOME");
    EXPECT_EQ(user_home_dir(), password_home());
    env.set("HOME", "relative");
    EXPECT_EQ(user_home_dir(), "relative");
}

// Without HOME and without a password entry there is no cache directory, and
// the scheme is looked up under the literal relative path "~/.cache".
TEST_F(PaletteFiles, WithoutAnyHomeReadsTheRelativeTildePath) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to take on a user id without a password entry";
    }
    std::filesystem::permissions(dir.path(), std::filesystem::perms::all);
    write_file(dir / "~/.cache/wal/colors.json", marker_scheme);
    EXPECT_TRUE(testing::holds_for_user_without_home(dir.path(), [] {
        return !user_home_dir() && !user_cache_dir() && load_palette().color4 == "#abcdef";
    }));
}

}  // namespace
}  // namespace oriel
