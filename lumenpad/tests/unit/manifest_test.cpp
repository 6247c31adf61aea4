#include "lumenpad/manifest.hpp"

#include "lumenpad-test/temp_home.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

namespace lumenpad {
namespace {

struct ManifestCase {
    const char* name;
    std::string json;
    Manifest expected;
};

void PrintTo(const ManifestCase& c, std::ostream* out) {
    *out << c.name;
}

class ParseManifest : public ::testing::TestWithParam<ManifestCase> {};

TEST_P(ParseManifest, TakesAnObjectOfStringsOrNothing) {
    EXPECT_EQ(parse_manifest(GetParam().json), GetParam().expected) << GetParam().json;
}

INSTANTIATE_TEST_SUITE_P(
    Documents, ParseManifest,
    ::testing::Values(
        ManifestCase{"two members",
                     R"({"firefox": "/icons/ff.png", "foot": "/icons/foot.svg"})",
                     {{"firefox", "/icons/ff.png"}, {"foot", "/icons/foot.svg"}}},
        ManifestCase{
            "later duplicate counts", R"({"a": "/1", "b": "/2", "a": "/3"})", {{"a", "/3"}, {"b", "/2"}}},
        ManifestCase{"white space around", " \r\n\t{ \"a\" : \"/1\" }\n\n", {{"a", "/1"}}},
        ManifestCase{"empty name", R"({"": "/blank.png"})", {{"", "/blank.png"}}},
        ManifestCase{"escapes decoded", R"({"caf\u00e9": "\/x\ty"})", {{"caf\xc3\xa9", "/x\ty"}}},
        ManifestCase{"empty object", "{}", {}}, ManifestCase{"a number value", R"({"a": "/1", "b": 2})", {}},
        ManifestCase{"a null value", R"({"a": "/1", "b": null})", {}},
        ManifestCase{"a nested object", R"({"a": "/1", "b": {"c": "/2"}})", {}},
        ManifestCase{"an array value", R"({"a": "/1", "b": ["/2"]})", {}},
        ManifestCase{"an array", R"([{"a": "/1"}])", {}}, ManifestCase{"a bare string", R"("/1")", {}},
        ManifestCase{"text after the object", R"({"a": "/1"} x)", {}},
        ManifestCase{"a second object", R"({"a": "/1"}{})", {}},
        ManifestCase{"a byte-order mark", "\xEF\xBB\xBF{\"a\": \"/1\"}", {}},
        ManifestCase{"a NUL byte after the object", std::string(R"({"a": "/1"})") + '\0' + "anything", {}},
        ManifestCase{"unterminated", R"({"a": "/1")", {}}, ManifestCase{"empty text", "", {}}),
    [](const ::testing::TestParamInfo<ManifestCase>& info) {
        std::string name;
        for (const char* c = info.param.name; *c != '\0'; ++c) {
            name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
        }
        return name;
    });

AppEntry entry(const std::string& name, const std::string& icon) {
    AppEntry app;
    app.name = name;
    app.exec = name;
    app.icon = icon;
    return app;
}

class ManifestFiles : public test::TempHomeTest {};

TEST_F(ManifestFiles, LoadsFromTheCacheDirectory) {
    EXPECT_TRUE(load_manifest().empty());
    home.write(".cache/lumenpad/manifest.json", R"({"foot": "/icons/foot.svg"})");
    EXPECT_EQ(load_manifest(), (Manifest{{"foot", "/icons/foot.svg"}}));
    home.write(".cache/lumenpad/manifest.json", "{\"foot\": \"/icons/f\xff.svg\"}");
    EXPECT_TRUE(load_manifest().empty()) << "not UTF-8";
}

TEST_F(ManifestFiles, GivesExistingFilesToEveryEntryWithTheName) {
    const std::string image = home.write("icons/term.png", "png");
    const std::string dir = home.make_dir("icons/themed");
    const std::string linked = home.path() + "/icons/link.png";
    const std::string dangling = home.path() + "/icons/dangling.png";
    ASSERT_EQ(::symlink(image.c_str(), linked.c_str()), 0);
    ASSERT_EQ(::symlink((home.path() + "/icons/gone.png").c_str(), dangling.c_str()), 0);
    const Manifest manifest{{"term", image},
                            {"dir", dir},
                            {"linked", linked},
                            {"dangling", dangling},
                            {"missing", home.path() + "/icons/missing.png"},
                            {"", image},
                            {"nul", image + std::string("\0.x", 3)}};
    std::vector<AppEntry> entries{entry("Foot", "term"),       entry("Kitty", "term"),
                                  entry("Upper", "Term"),      entry("Dir", "dir"),
                                  entry("Linked", "linked"),   entry("Gone", "dangling"),
                                  entry("Missing", "missing"), entry("Plain", "firefox"),
                                  entry("Blank", ""),          entry("Nul", "nul")};
    apply_manifest(entries, manifest);

    const std::vector<std::optional<std::string>> expected{image,  image,        std::nullopt, dir,
                                                           linked, std::nullopt, std::nullopt, std::nullopt,
                                                           image,  std::nullopt};
    ASSERT_EQ(entries.size(), expected.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].icon_path, expected[i]) << entries[i].name;
    }
}

TEST_F(ManifestFiles, EmptyManifestChangesNothing) {
    std::vector<AppEntry> entries{entry("Foot", "foot"), entry("Blank", "")};
    const auto before = entries;
    apply_manifest(entries, {});
    EXPECT_EQ(entries, before);
}

}  // namespace
}  // namespace lumenpad
