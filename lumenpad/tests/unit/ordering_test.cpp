#include "lumenpad/ordering.hpp"

#include "../app_entries.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

namespace lumenpad {
namespace {

using test::entry;

std::vector<std::string> names(const std::vector<AppEntry>& entries) {
    std::vector<std::string> out;
    for (const auto& e : entries) {
        out.push_back(e.name);
    }
    return out;
}

TEST(ContainsWord, NeedsNonWordBytesAroundTheTerm) {
    EXPECT_TRUE(contains_word("vs code", "code"));
    EXPECT_TRUE(contains_word("code-insiders", "code"));
    EXPECT_TRUE(contains_word("code", "code"));
    EXPECT_FALSE(contains_word("codeblocks", "code"));
    EXPECT_FALSE(contains_word("vscode", "code"));
    EXPECT_FALSE(contains_word("", "code"));
    EXPECT_FALSE(contains_word("code", ""));
    // A later occurrence can count after an earlier one does not.
    EXPECT_TRUE(contains_word("vscode code", "code"));
    // Neither occurrence of "aa" in "aaa" stands alone.
    EXPECT_FALSE(contains_word("aaa", "aa"));
    EXPECT_TRUE(contains_word("a-aa", "aa"));
    // Overlapping occurrences are found: the search resumes inside the
    // refused "a-a" at 1 and finds the one at 3.
    EXPECT_TRUE(contains_word("aa-a-a", "a-a"));
    // Non-ASCII bytes separate words.
    EXPECT_TRUE(contains_word("écode", "code"));
    // A non-ASCII term inside a word is skipped without failing.
    EXPECT_FALSE(contains_word("xéééx", "éé"));
    EXPECT_TRUE(contains_word("x éé", "éé"));
}

TEST(PriorityRank, MatchesNameOrWindowClassInTermOrder) {
    const std::vector<std::string> terms{"code", "firefox"};
    EXPECT_EQ(priority_rank(entry("VS Code"), terms), 0u);
    EXPECT_EQ(priority_rank(entry("Firefox"), terms), 1u);
    EXPECT_EQ(priority_rank(entry("Web", "FIREFOX"), terms), 1u);
    EXPECT_EQ(priority_rank(entry("Codeblocks"), terms), std::nullopt);
    EXPECT_EQ(priority_rank(entry("VS Code"), {}), std::nullopt);
}

class InitialOrder : public testing::Test {
protected:
    std::vector<AppEntry> sorted(std::vector<AppEntry> entries, const std::vector<std::string>& terms) {
        // The fast sort must agree with a stable sort by initial_less itself.
        auto reference = entries;
        std::stable_sort(reference.begin(), reference.end(), [&](const AppEntry& a, const AppEntry& b) {
            return initial_less(a, b, terms, history);
        });
        sort_initial(entries, terms, history);
        EXPECT_EQ(names(entries), names(reference));
        return entries;
    }
    History history;
};

TEST_F(InitialOrder, PriorityTermsComeBeforeLaunchCounts) {
    history.counts = {{"Often", 50}};
    const auto out = sorted({entry("Often"), entry("Firefox"), entry("VS Code")}, {"code", "firefox"});
    EXPECT_EQ(names(out), (std::vector<std::string>{"VS Code", "Firefox", "Often"}));
}

TEST_F(InitialOrder, EntriesOfTheSameTermKeepDiscoveryOrderWhateverTheirCounts) {
    history.counts = {{"Code B", 9}};
    const auto out = sorted({entry("Code A"), entry("Code B")}, {"code"});
    EXPECT_EQ(names(out), (std::vector<std::string>{"Code A", "Code B"}));
}

TEST_F(InitialOrder, CountDescendingThenLoweredNameBytes) {
    history.counts = {{"Zed", 2}};
    const auto out = sorted({entry("Code OSS"), entry("Beta"), entry("Code"), entry("alpha"), entry("Zed"),
                             entry("Émile"), entry("Eve")},
                            {});
    EXPECT_EQ(names(out),
              (std::vector<std::string>{"Zed", "alpha", "Beta", "Code", "Code OSS", "Eve", "Émile"}));
}

TEST_F(InitialOrder, EqualNameKeysKeepDiscoveryOrder) {
    const auto out = sorted({entry("Same", "one"), entry("same", "two"), entry("SAME", "three")}, {});
    EXPECT_EQ(out[0].startup_wm_class, "one");
    EXPECT_EQ(out[2].startup_wm_class, "three");
}

TEST_F(InitialOrder, LeavesShortListsAlone) {
    std::vector<AppEntry> one{entry("Only")};
    sort_initial(one, {"x"}, history);
    EXPECT_EQ(names(one), std::vector<std::string>{"Only"});
}

// The initial order of a catalogue already in some order, as places: an
// application's action rows stay after it, the rest as sort_initial would
// order the applications; the live order of the empty query is that order,
// and equal rows of a query keep it.
TEST(InitialOrderOfPlaces, RanksApplicationsAndKeepsTheirActionsAfterThem) {
    std::vector<AppEntry> entries{entry("Alpha"), entry("Code"), entry("Code: New Window"), entry("Zed"),
                                  entry("zed")};
    entries[1].desktop_id = entries[2].desktop_id = "code";
    entries[2].action = "new-window";
    std::vector<MatchKeys> keys;
    for (const AppEntry& e : entries) {
        keys.push_back(name_keys(e));
    }
    struct Case {
        const char* what;
        HistoryCounts counts;
        std::vector<std::string> priority;
        std::vector<std::uint32_t> order;
    };
    const Case cases[] = {
        {"by name", {}, {}, {0, 1, 2, 3, 4}},
        {"counted", {{"Zed", 3}, {"Code", 1}}, {}, {3, 1, 2, 0, 4}},
        {"an action's count is not its own", {{"Code: New Window", 9}}, {}, {0, 1, 2, 3, 4}},
        {"equal name keys keep their places", {}, {"zed"}, {3, 4, 0, 1, 2}},
        {"priority first", {{"Zed", 3}}, {"code"}, {1, 2, 3, 0, 4}},
    };
    for (const Case& c : cases) {
        History history;
        history.counts = c.counts;
        const std::vector<std::uint32_t> order = initial_order(entries, keys, c.priority, history);
        EXPECT_EQ(order, c.order) << c.what;
        EXPECT_EQ(live_order("", entries, keys, history, Ranking::launches_and_name, order), order) << c.what;
    }
    // "zed" and "Zed" tie under the query: the initial order decides.
    const std::vector<std::uint32_t> reversed{4, 3, 2, 1, 0};
    EXPECT_EQ(live_order("zed", entries, keys, History{}, Ranking::launches_and_name, reversed),
              (std::vector<std::uint32_t>{4, 3}));
    EXPECT_EQ(live_order("zed", entries, keys, History{}), (std::vector<std::uint32_t>{3, 4}));
}

TEST(CompareForQuery, TierFirstThenCountThenName) {
    History history;
    history.counts = {{"Fire Often", 100}, {"Fireworks", 3}};
    const auto a = entry("fire");
    const auto b = entry("Fire Often");
    const auto c = entry("Fireworks");
    const auto d = entry("Firebird");
    auto cmp = [&](const AppEntry& x, const AppEntry& y) {
        const auto kx = match_keys(x);
        const auto ky = match_keys(y);
        return compare_for_query(sort_tier("fire", kx), launch_count(history, x.name), kx,
                                 sort_tier("fire", ky), launch_count(history, y.name), ky);
    };
    // Tier 0 beats tier 1 however often the latter was launched.
    EXPECT_LT(cmp(a, b), 0);
    EXPECT_GT(cmp(b, a), 0);
    EXPECT_LT(cmp(b, c), 0);
    EXPECT_LT(cmp(c, d), 0);
    EXPECT_EQ(cmp(entry("FIREBIRD"), d), 0);
}

AppEntry keyworded(std::string name, std::string keyword) {
    AppEntry e = entry(std::move(name));
    e.keywords = {std::move(keyword)};
    return e;
}

AppEntry generic(std::string name, std::string generic_name, std::string exec = "true") {
    AppEntry e = entry(std::move(name), std::nullopt, std::move(exec));
    e.generic_names = {std::move(generic_name)};
    return e;
}

struct LiveOrderCase {
    const char* what;
    std::vector<AppEntry> entries;
    HistoryCounts counts;
    const char* query;
    std::vector<std::string> shown;
};

void PrintTo(const LiveOrderCase& c, std::ostream* out) {
    *out << c.what;
}

class LiveOrder : public testing::TestWithParam<LiveOrderCase> {};

TEST_P(LiveOrder, ShowsTheVisibleEntriesByTierCountAndName) {
    const LiveOrderCase& c = GetParam();
    History history;
    history.counts = c.counts;
    std::vector<std::string> shown;
    for (const std::uint32_t index : live_order(c.query, c.entries, catalogue_keys(c.entries), history)) {
        shown.push_back(c.entries.at(index).name);
    }
    EXPECT_EQ(shown, c.shown);
}

INSTANTIATE_TEST_SUITE_P(
    Queries, LiveOrder,
    testing::Values(LiveOrderCase{"empty_query_keeps_the_initial_order",
                                  {entry("Zeta"), entry("Alpha"), entry("Mid")},
                                  {{"Alpha", 9}},
                                  "",
                                  {"Zeta", "Alpha", "Mid"}},
                    LiveOrderCase{"tier_then_name",
                                  {entry("Firebird"), entry("Terminal"), entry("Firefox"), entry("fire")},
                                  {},
                                  "fire",
                                  {"fire", "Firebird", "Firefox"}},
                    LiveOrderCase{"a_strong_match_hides_the_command_line_match",
                                  {entry("Terminal"), entry("Shell", std::nullopt, "xterm -e sh")},
                                  {},
                                  "term",
                                  {"Terminal"}},
                    LiveOrderCase{"only_subsequence_matches_all_shown",
                                  {entry("Firefox"), entry("Files"), entry("Frfx Tool")},
                                  {},
                                  "frx",
                                  {"Firefox", "Frfx Tool"}},
                    LiveOrderCase{
                        "window_class_tier_stays_beside_strong_matches",
                        {entry("Zed", "alpha-app"), entry("Alpha"), entry("Unrelated", std::nullopt, "alp")},
                        {},
                        "alp",
                        {"Alpha", "Zed"}},
                    LiveOrderCase{"launch_count_orders_one_tier",
                                  {entry("Fire A"), entry("Fire B"), entry("Fire C")},
                                  {{"Fire B", 4}, {"Fire C", 1}},
                                  "fire",
                                  {"Fire B", "Fire C", "Fire A"}},
                    LiveOrderCase{"a_better_tier_beats_any_count",
                                  {entry("abc"), entry("zab", "ab"), entry("cc")},
                                  {{"abc", 50}},
                                  "ab",
                                  {"zab", "abc"}},
                    LiveOrderCase{"equal_keys_keep_the_initial_order",
                                  {entry("Same", "one"), entry("same", "two"), entry("SAME", "three")},
                                  {},
                                  "sam",
                                  {"Same", "same", "SAME"}},
                    LiveOrderCase{"keyword_matches_after_every_other_tier",
                                  {keyworded("Zebra", "browser"), entry("Obscure", std::nullopt, "b-r-o-w"),
                                   keyworded("Alpha", "browser"), entry("Browser Tool")},
                                  {{"Zebra", 9}},
                                  "brow",
                                  {"Browser Tool", "Zebra", "Alpha"}},
                    LiveOrderCase{"keyword_matches_do_not_hide_subsequence_ones",
                                  {keyworded("Zebra", "browser"), entry("Obscure", std::nullopt, "b-r-o-w")},
                                  {},
                                  "brow",
                                  {"Obscure", "Zebra"}},
                    LiveOrderCase{"nothing_matches", {entry("Alpha"), entry("Beta")}, {}, "qqq", {}},
                    LiveOrderCase{"empty_catalogue", {}, {}, "a", {}}),
    [](const auto& info) { return std::string(info.param.what); });

// A row hidden at tier 4 beside strong matches shows at tier 5 when its
// generic name or a keyword matches; nothing else changes.
INSTANTIATE_TEST_SUITE_P(
    KeywordBesideWeakName, LiveOrder,
    testing::Values(
        LiveOrderCase{"shown_at_tier_5_beside_strong_matches",
                      {generic("Emacs (Client)", "Text Editor", "emacsclient --alternate-editor= -c"),
                       entry("Editor"), entry("Edit Other Words Reader"), keyworded("Zebra", "editors")},
                      {{"Emacs (Client)", 9}},
                      "editor",
                      {"Editor", "Emacs (Client)", "Zebra"}},
        LiveOrderCase{"ordered_among_tier_5_by_count_and_name",
                      {keyworded("Alpha", "editors"), generic("Edit Or", "Text Editor"), entry("Editor")},
                      {},
                      "editor",
                      {"Editor", "Alpha", "Edit Or"}},
        LiveOrderCase{"keeps_tier_4_without_strong_matches",
                      {keyworded("Zebra", "editors"), generic("Edit Or", "Text Editor")},
                      {{"Zebra", 9}},
                      "editor",
                      {"Edit Or", "Zebra"}},
        LiveOrderCase{"words_that_do_not_start_with_the_query_leave_it_hidden",
                      {entry("Editor"), generic("Edit Or", "Ededitor")},
                      {},
                      "editor",
                      {"Editor"}}),
    [](const auto& info) { return std::string(info.param.what); });

TEST(LiveOrderInGivenOrder, TierThenTheOrderGivenWhateverTheNamesAndCounts) {
    const std::vector<AppEntry> lines{entry("zeta fire"), entry("fire b"), entry("afire"), entry("fire a"),
                                      entry("f-i-r-e")};
    History history;
    history.counts = {{"fire a", 50}};
    std::vector<std::string> shown;
    for (const std::uint32_t i :
         live_order("fire", lines, catalogue_keys(lines), history, Ranking::given_order)) {
        shown.push_back(lines[i].name);
    }
    EXPECT_EQ(shown, (std::vector<std::string>{"fire b", "fire a", "zeta fire", "afire"}));
}

}  // namespace
}  // namespace lumenpad
