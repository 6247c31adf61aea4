#include "lumenpad/row_text.hpp"

#include "../app_entries.hpp"

#include <gtest/gtest.h>

#include <string>

namespace lumenpad {
namespace {

using test::entry;

std::string repeated(std::string_view piece, std::size_t times) {
    std::string text;
    for (std::size_t i = 0; i < times; ++i) {
        text += piece;
    }
    return text;
}

struct PrefixCase {
    const char* what;
    std::string text;
    std::string shown;
};

void PrintTo(const PrefixCase& c, std::ostream* out) {
    *out << c.what;
}

class ShownPrefix : public testing::TestWithParam<PrefixCase> {};

TEST_P(ShownPrefix, KeepsAtMostTheFirstCharacters) {
    EXPECT_EQ(shown_prefix(GetParam().text), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ShownPrefix,
    testing::Values(PrefixCase{"empty", "", ""}, PrefixCase{"short", "Firefox", "Firefox"},
                    PrefixCase{"exactly_the_bound", repeated("a", 1024), repeated("a", 1024)},
                    PrefixCase{"one_past_the_bound", repeated("a", 1025), repeated("a", 1024)},
                    PrefixCase{"huge", repeated("a", 4 << 20), repeated("a", 1024)},
                    // Characters, not bytes: two-, three- and four-byte sequences.
                    PrefixCase{"two_bytes", repeated("\xC3\xA9", 1500), repeated("\xC3\xA9", 1024)},
                    PrefixCase{"three_bytes", repeated("\xE2\x82\xAC", 1025), repeated("\xE2\x82\xAC", 1024)},
                    PrefixCase{"four_bytes", repeated("\xF0\x9F\x98\x80", 2000),
                               repeated("\xF0\x9F\x98\x80", 1024)},
                    PrefixCase{"mixed_at_the_edge", repeated("a", 1023) + "\xF0\x9F\x98\x80\xC3\xA9",
                               repeated("a", 1023) + "\xF0\x9F\x98\x80"},
                    PrefixCase{"four_bytes_within_the_bound", repeated("\xF0\x9F\x98\x80", 1024),
                               repeated("\xF0\x9F\x98\x80", 1024)}),
    [](const auto& info) { return std::string(info.param.what); });

TEST(RowTexts, BoundsNameWindowClassAndComment) {
    AppEntry app = entry(repeated("n", 5000), repeated("c", 4000));
    app.comment = repeated("d", 2000);
    const RowTexts texts = row_texts(app);
    EXPECT_EQ(texts.name, repeated("n", 1024));
    EXPECT_EQ(texts.wm_class, repeated("c", 1024));
    EXPECT_EQ(texts.comment, repeated("d", 1024));
    // The entry itself keeps the whole values.
    EXPECT_EQ(app.name.size(), 5000U);
    EXPECT_EQ(app.startup_wm_class->size(), 4000U);
}

TEST(RowTexts, ShowsTheLocalisedNameAndNoClassWithoutOne) {
    AppEntry app = entry("Files");
    app.localised_name = "Dateien";
    const RowTexts texts = row_texts(app);
    EXPECT_EQ(texts.name, "Dateien");
    EXPECT_EQ(texts.wm_class, "");
    EXPECT_EQ(texts.comment, "");
}

TEST(RowTexts, AnEntryWithinTheBoundsShowsItsWholeTexts) {
    AppEntry app = entry("Text Editor", "org.gnome.TextEditor");
    app.comment = "Edit text files";
    const RowTexts texts = row_texts(app);
    EXPECT_EQ(texts.name, "Text Editor");
    EXPECT_EQ(texts.wm_class, "org.gnome.TextEditor");
    EXPECT_EQ(texts.comment, "Edit text files");
}

}  // namespace
}  // namespace lumenpad
