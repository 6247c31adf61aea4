#include "lumenpad/matching.hpp"

#include "../app_entries.hpp"

#include <gtest/gtest.h>

namespace lumenpad {
namespace {

using test::entry;

struct TierCase {
    const char* query;
    const char* name;
    std::optional<const char*> wm_class;
    const char* exec;
    std::optional<MatchTier> tier;
};

class MatchTierTest : public testing::TestWithParam<TierCase> {};

TEST_P(MatchTierTest, GivesTheTierOfTheFirstRuleThatApplies) {
    const TierCase& c = GetParam();
    std::optional<std::string> wm_class;
    if (c.wm_class) {
        wm_class = *c.wm_class;
    }
    EXPECT_EQ(match_tier(c.query, entry(c.name, wm_class, c.exec)), c.tier)
        << "query '" << c.query << "' against '" << c.name << "'";
}

INSTANTIATE_TEST_SUITE_P(
    Tiers, MatchTierTest,
    testing::Values(TierCase{"", "Anything", std::nullopt, "x", 0},
                    TierCase{"firefox", "Firefox", std::nullopt, "firefox", 0},
                    TierCase{"FIRE", "Firefox", std::nullopt, "firefox", 1},
                    TierCase{"fox", "Firefox", std::nullopt, "firefox", 2},
                    TierCase{"frfx", "Firefox", std::nullopt, "firefox", 4},
                    TierCase{"Cod", "VS Code", std::nullopt, "code", 2},
                    // The window class decides tier 0 even for an unrelated name.
                    TierCase{"ORG.GNOME.NAUTILUS", "Files", "org.gnome.Nautilus", "nautilus", 0},
                    TierCase{"org.gn", "Files", "org.gnome.Nautilus", "nautilus", 3},
                    TierCase{"nautil", "Files", "org.gnome.Nautilus", "nautilus", 3},
                    // Only in the command line: a subsequence, so tier 4.
                    TierCase{"--new", "Browser", std::nullopt, "browser --new-window", 4},
                    // Spaces are kept: " fire" is neither a prefix nor a substring of "firefox".
                    TierCase{" fire", "Firefox", std::nullopt, "firefox", std::nullopt},
                    TierCase{"zzz", "Firefox", std::nullopt, "firefox", std::nullopt},
                    // An entry without a window class never matches through it.
                    TierCase{"x", "Abc", std::nullopt, "abc", std::nullopt},
                    // Full lower-case mapping: capital sigma at a word end.
                    TierCase{"ΟΔΟΣ", "οδος", std::nullopt, "odos", 0},
                    TierCase{"straße", "STRASSE", std::nullopt, "s", std::nullopt},
                    TierCase{"İs", "İstanbul", std::nullopt, "i", 1},
                    // Subsequences through characters whose lower case is ASCII.
                    TierCase{"kv",
                             "\xE2\x84\xAA"
                             "elvin",
                             std::nullopt, "x", 4},
                    TierCase{"ib", "İstanbul", std::nullopt, "x", 4},
                    TierCase{"IB", "istanbul", std::nullopt, "x", 4}));

TEST(SortTier, IsFourForSubsequencesAndForNonMatchesAlike) {
    EXPECT_EQ(sort_tier("frfx", entry("Firefox")), 4);
    EXPECT_EQ(sort_tier("qqq", entry("Firefox")), 4);
    EXPECT_EQ(sort_tier("fire", entry("Firefox")), 1);
    EXPECT_EQ(sort_tier("nautilus", entry("Files", "org.gnome.Nautilus")), 3);
}

TEST(FuzzySubsequence, FoldsEachCharacterAndMatchesGreedily) {
    EXPECT_TRUE(fuzzy_subsequence("frfx", "Firefox"));
    EXPECT_TRUE(fuzzy_subsequence("FFX", "firefox"));
    EXPECT_FALSE(fuzzy_subsequence("xf", "Firefox"));
    EXPECT_FALSE(fuzzy_subsequence("ff f", "Firefox"));
    EXPECT_TRUE(fuzzy_subsequence("ÉT", "école été"));
    // İ folds to i, the first character of its lower-case mapping.
    EXPECT_TRUE(fuzzy_subsequence("i", "İ"));
    EXPECT_FALSE(fuzzy_subsequence("firefoxx", "Firefox"));
}

TEST(VisibleRows, HidesSubsequenceMatchesOnlyWhenAStrongTierExists) {
    using Tiers = std::vector<std::optional<MatchTier>>;
    EXPECT_EQ(visible_rows(Tiers{1, 4, std::nullopt}), (std::vector<bool>{true, false, false}));
    EXPECT_EQ(visible_rows(Tiers{4, 4, std::nullopt}), (std::vector<bool>{true, true, false}));
    // Tier 3 is not strong: subsequence rows stay, and tier 3 is never hidden.
    EXPECT_EQ(visible_rows(Tiers{3, 4}), (std::vector<bool>{true, true}));
    EXPECT_EQ(visible_rows(Tiers{2, 3, 4}), (std::vector<bool>{true, true, false}));
    EXPECT_EQ(visible_rows(Tiers{}), std::vector<bool>{});
}

TEST(VisibleRows, TermMatchesTerminalAndHidesTheCommandLineMatch) {
    const auto terminal = entry("Terminal", std::nullopt, "gnome-terminal");
    const auto other = entry("Shell", std::nullopt, "xterm -e sh");
    const std::vector<std::optional<MatchTier>> tiers{match_tier("term", terminal),
                                                      match_tier("term", other)};
    EXPECT_EQ(tiers[0], 1);
    EXPECT_EQ(tiers[1], 4);
    EXPECT_EQ(visible_rows(tiers), (std::vector<bool>{true, false}));
}

// A localised name beside the unlocalised one, and the generic name and
// keywords below every tier of the names.
struct NamedTierCase {
    const char* query;
    std::optional<MatchTier> tier;
};

class LocalisedEntryTier : public testing::TestWithParam<NamedTierCase> {};

TEST_P(LocalisedEntryTier, NamesFirstThenWordsOfTheGenericNameAndKeywords) {
    AppEntry firefox = entry("Firefox ESR", std::nullopt, "/usr/lib/firefox-esr/firefox-esr");
    firefox.localised_name = "Feuerfuchs";
    firefox.generic_names = {"Webbrowser", "Web Browser"};
    firefox.keywords = {"Internet", "WWW"};
    EXPECT_EQ(match_tier(GetParam().query, firefox), GetParam().tier) << GetParam().query;
}

INSTANTIATE_TEST_SUITE_P(
    Table, LocalisedEntryTier,
    testing::Values(NamedTierCase{"feuerfuchs", 0}, NamedTierCase{"firefox esr", 0},
                    NamedTierCase{"feuer", 1}, NamedTierCase{"firef", 1}, NamedTierCase{"fuchs", 2},
                    NamedTierCase{"esr", 2}, NamedTierCase{"ffx", 4}, NamedTierCase{"brow", 5},
                    NamedTierCase{"WEB", 5}, NamedTierCase{"inter", 5}, NamedTierCase{"rowser", std::nullopt},
                    NamedTierCase{"web browser", std::nullopt}, NamedTierCase{"zzz", std::nullopt}));

struct ShownTierCase {
    MatchTier tier;
    bool strong;
    bool words;
    std::optional<MatchTier> shown;
};

class ShownTier : public testing::TestWithParam<ShownTierCase> {};

TEST_P(ShownTier, ATier4RowBesideStrongOnesShowsAtTier5OnlyWhenItsWordsMatch) {
    const ShownTierCase& c = GetParam();
    bool asked = false;
    EXPECT_EQ(shown_tier(c.tier, c.strong,
                         [&] {
                             asked = true;
                             return c.words;
                         }),
              c.shown);
    // The words are looked at only for a row that would be hidden.
    EXPECT_EQ(asked, c.tier == subsequence_tier && c.strong);
}

INSTANTIATE_TEST_SUITE_P(Table, ShownTier,
                         testing::Values(ShownTierCase{4, true, true, 5},
                                         ShownTierCase{4, true, false, std::nullopt},
                                         ShownTierCase{4, false, true, 4}, ShownTierCase{4, false, false, 4},
                                         ShownTierCase{0, true, true, 0}, ShownTierCase{3, true, false, 3},
                                         ShownTierCase{5, true, true, 5}, ShownTierCase{5, false, false, 5}));

TEST(WordsMatch, AWordOfTheGenericNameOrAKeywordStartsWithTheQuery) {
    // Its command holds "editor"'s letters in order: tier 4.
    AppEntry emacs = entry("Emacs (Client)", std::nullopt, "emacsclient --alternate-editor= -c");
    emacs.generic_names = {"Text Editor"};
    emacs.keywords = {"Development"};
    const MatchKeys keys = match_keys(emacs);
    EXPECT_EQ(match_tier("editor", emacs), subsequence_tier);
    EXPECT_TRUE(words_match("editor", keys));
    EXPECT_TRUE(words_match("devel", keys));
    EXPECT_FALSE(words_match("ditor", keys));
    EXPECT_FALSE(words_match("text editor", keys));
}

TEST(VisibleRows, KeywordMatchesStayBesideStrongOnes) {
    using Tiers = std::vector<std::optional<MatchTier>>;
    EXPECT_EQ(visible_rows(Tiers{1, 5, 4}), (std::vector<bool>{true, true, false}));
    EXPECT_EQ(visible_rows(Tiers{5, 4}), (std::vector<bool>{true, true}));
}

}  // namespace
}  // namespace lumenpad
