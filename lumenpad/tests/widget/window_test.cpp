// The launcher window against a real display: rows, filtering, sorting,
// selection and the key table, driven through the handlers themselves.
#include "lumenpad/window.hpp"

#include "lumenpad/row_builder.hpp"
#include "lumenpad/rows.hpp"
#include "lumenpad/search.hpp"
#include "lumenpad/theming.hpp"

#include "../app_entries.hpp"
#include "lumenpad-test/main_loop.hpp"
#include "lumenpad-test/scoped_env.hpp"
#include "lumenpad-test/temp_dir.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace lumenpad {
namespace {

using test::entry;

// One registered application for the whole binary: windows need one, and
// registering it initialises GTK.
GtkApplication* test_application() {
    static GtkApplication* application = [] {
        GtkApplication* app =
            gtk_application_new("com.velmora.lumenpad.WidgetTest", G_APPLICATION_NON_UNIQUE);
        g_application_register(G_APPLICATION(app), nullptr, nullptr);
        return app;
    }();
    return application;
}

std::vector<AppEntry> numbered_entries(int count) {
    std::vector<AppEntry> entries;
    for (int i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "App %04d", i);
        entries.push_back(entry(name));
    }
    return entries;
}

class LauncherWindowTest : public testing::Test {
protected:
    void open(std::vector<AppEntry> entries) {
        build(std::move(entries));
        gtk_window_present(built_.window);
        test::drain_main_loop();
    }
    // Shows the window and returns once its first frame is painted, with
    // rows still to come.
    void open_during_build(std::vector<AppEntry> entries) {
        build(std::move(entries));
        gtk_window_present(built_.window);
        bool painted = false;
        GdkFrameClock* clock = gtk_widget_get_frame_clock(GTK_WIDGET(built_.window));
        const gulong handler = g_signal_connect_swapped(
            clock, "after-paint", G_CALLBACK(+[](bool* flag) { *flag = true; }), &painted);
        ASSERT_TRUE(test::wait_until([&] { return painted; }));
        g_signal_handler_disconnect(clock, handler);
        ASSERT_TRUE(row_build_pending(built_.list));
    }
    // Builds the window without showing it.
    void build(std::vector<AppEntry> entries) {
        // Keep the launcher away from the real pid file and history.
        env_.set("XDG_RUNTIME_DIR", dir_.path());
        data_.entries = std::move(entries);
        data_.state = std::make_shared<LauncherState>();
        data_.state->history.path = dir_ / "history.json";
        built_ = build_window(test_application(), data_);
    }
    // Waits until every row has been built.
    void settle() {
        ASSERT_TRUE(test::wait_until([&] { return !row_build_pending(built_.list); }));
    }
    int row_count() {
        int count = 0;
        while (gtk_list_box_get_row_at_index(built_.list, count) != nullptr) {
            ++count;
        }
        return count;
    }
    void TearDown() override {
        if (built_.window != nullptr) {
            gtk_window_destroy(built_.window);
            test::drain_main_loop();
        }
    }
    void type(const char* text) {
        gtk_editable_set_text(built_.field, text);
        test::drain_main_loop();
    }
    gboolean press(guint keyval) {
        KeyData keys{data_.state, built_.close_launcher, built_.list};
        const gboolean handled = on_key_pressed(nullptr, keyval, 0, GdkModifierType{}, &keys);
        test::drain_main_loop();
        return handled;
    }
    // Names of the visible rows in list order.
    std::vector<std::string> shown() {
        std::vector<std::string> names;
        for (int i = 0; GtkListBoxRow* row = gtk_list_box_get_row_at_index(built_.list, i); ++i) {
            if (row_shown(row)) {
                names.push_back(row_entry(row)->name);
            }
        }
        return names;
    }
    std::string selected() {
        GtkListBoxRow* row = gtk_list_box_get_selected_row(built_.list);
        return row != nullptr ? row_entry(row)->name : "";
    }

    test::TempDir dir_;
    test::ScopedEnv env_;
    ActivationData data_;
    LauncherWindow built_{};
};

TEST_F(LauncherWindowTest, BuildsOneRowPerEntryInInitialOrderWithTheFirstSelected) {
    open({entry("Zeta"), entry("Alpha", "alpha-class"), entry("Mid")});
    EXPECT_EQ(shown(), (std::vector<std::string>{"Zeta", "Alpha", "Mid"}));
    EXPECT_EQ(selected(), "Zeta");
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(row_initial_order(gtk_list_box_get_row_at_index(built_.list, i)), static_cast<uint32_t>(i));
    }
    // A row box holds icon and name, plus the window class when there is one.
    auto children = [&](int index) {
        GtkWidget* box = gtk_list_box_row_get_child(gtk_list_box_get_row_at_index(built_.list, index));
        int count = 0;
        for (GtkWidget* child = gtk_widget_get_first_child(box); child;
             child = gtk_widget_get_next_sibling(child)) {
            ++count;
        }
        return count;
    };
    EXPECT_EQ(children(0), 2);
    EXPECT_EQ(children(1), 3);
}

TEST_F(LauncherWindowTest, TypingFiltersReSortsAndSelectsTheBestRow) {
    open({entry("Firebird"), entry("Terminal", std::nullopt, "term"), entry("Firefox"),
          entry("Shell", std::nullopt, "xterm -e sh"), entry("fire")});
    type("fire");
    EXPECT_EQ(shown(), (std::vector<std::string>{"fire", "Firebird", "Firefox"}));
    EXPECT_EQ(selected(), "fire");

    type("term");
    // The command-line match is hidden by the strong name match.
    EXPECT_EQ(shown(), (std::vector<std::string>{"Terminal"}));
    EXPECT_EQ(selected(), "Terminal");

    type("");
    EXPECT_EQ(shown(), (std::vector<std::string>{"Firebird", "Terminal", "Firefox", "Shell", "fire"}));
    EXPECT_EQ(selected(), "Firebird");
}

TEST_F(LauncherWindowTest, LaunchCountsOrderRowsOfTheSameTier) {
    open({entry("Fire A"), entry("Fire B")});
    data_.state->history.counts["Fire B"] = 4;
    type("fire");
    EXPECT_EQ(shown(), (std::vector<std::string>{"Fire B", "Fire A"}));
}

TEST_F(LauncherWindowTest, UpAndDownSkipHiddenRowsAndDoNotWrap) {
    open({entry("Alpha"), entry("Beta"), entry("Alps"), entry("Gamma"), entry("Alto")});
    type("al");
    ASSERT_EQ(shown(), (std::vector<std::string>{"Alpha", "Alps", "Alto"}));
    EXPECT_EQ(press(GDK_KEY_Up), GDK_EVENT_STOP);
    EXPECT_EQ(selected(), "Alpha");
    press(GDK_KEY_Down);
    EXPECT_EQ(selected(), "Alps");
    press(GDK_KEY_Down);
    EXPECT_EQ(selected(), "Alto");
    EXPECT_EQ(press(GDK_KEY_Down), GDK_EVENT_STOP);
    EXPECT_EQ(selected(), "Alto");
    press(GDK_KEY_Up);
    EXPECT_EQ(selected(), "Alps");
}

TEST_F(LauncherWindowTest, OtherKeysPropagateToTheField) {
    open({entry("Alpha")});
    for (guint key : {GDK_KEY_a, GDK_KEY_Left, GDK_KEY_BackSpace, GDK_KEY_Tab, GDK_KEY_Home}) {
        EXPECT_EQ(press(key), GDK_EVENT_PROPAGATE) << key;
    }
}

TEST_F(LauncherWindowTest, AQueryThatMatchesNothingHidesEveryRow) {
    open({entry("Alpha"), entry("Beta")});
    type("qqq");
    EXPECT_TRUE(shown().empty());
    // Return finds nothing to start once the selection is gone or hidden, and
    // is consumed either way.
    EXPECT_EQ(press(GDK_KEY_Return), GDK_EVENT_STOP);
    type("qqqx");
    EXPECT_TRUE(shown().empty());
    type("");
    EXPECT_EQ(shown(), (std::vector<std::string>{"Alpha", "Beta"}));
}

TEST_F(LauncherWindowTest, TheSameRowsReorderWhenTheirTiersSwap) {
    open({entry("abc"), entry("zab", "ab"), entry("cc")});
    type("a");
    EXPECT_EQ(shown(), (std::vector<std::string>{"abc", "zab"}));
    // One keystroke, the same rows on view: the window class now equals the
    // query, a better tier than the other name's prefix. (Setting the text
    // would report two edits: "a" deleted, then "ab" inserted.)
    int end = 1;
    gtk_editable_insert_text(built_.field, "b", 1, &end);
    test::drain_main_loop();
    EXPECT_EQ(shown(), (std::vector<std::string>{"zab", "abc"}));
    EXPECT_EQ(selected(), "zab");
}

// The list re-examines every row's neighbours after each edit; hidden rows in
// one long run would make that grow with the square of their number.
TEST_F(LauncherWindowTest, HiddenRowsSitInShortRunsBetweenTheShownOnes) {
    std::vector<AppEntry> entries;
    for (int i = 0; i < 200; ++i) {
        entries.push_back(entry((i % 50 == 7 ? "Probe " : "Other ") + std::to_string(i)));
    }
    open(std::move(entries));
    type("probe");
    EXPECT_EQ(shown(), (std::vector<std::string>{"Probe 107", "Probe 157", "Probe 57", "Probe 7"}));
    EXPECT_EQ(selected(), "Probe 107");

    int rows = 0;
    int run = 0;
    int longest_run = 0;
    for (; GtkListBoxRow* row = gtk_list_box_get_row_at_index(built_.list, rows); ++rows) {
        run = row_shown(row) ? 0 : run + 1;
        longest_run = std::max(longest_run, run);
    }
    EXPECT_EQ(rows, 200);
    // 196 hidden rows over the 5 gaps around 4 shown ones.
    EXPECT_LE(longest_run, 40);
}

// What the first frame shows, recorded by a handler that runs after the
// builder's own.
struct FirstFrame {
    GtkWidget* scrolled;
    GtkListBox* list;
    int rows = -1;
    int height = -1;
    int selected = -1;
};

TEST_F(LauncherWindowTest, RowsBelowTheFirstScreenfulFollowTheFirstFrameInInitialOrder) {
    build(numbered_entries(300));
    EXPECT_TRUE(row_build_pending(built_.list));
    EXPECT_LT(row_count(), 300);
    gtk_window_present(built_.window);

    FirstFrame first{gtk_widget_get_ancestor(GTK_WIDGET(built_.list), GTK_TYPE_SCROLLED_WINDOW), built_.list};
    GdkFrameClock* clock = gtk_widget_get_frame_clock(GTK_WIDGET(built_.window));
    const gulong handler = g_signal_connect(
        clock, "after-paint", G_CALLBACK(+[](GdkFrameClock*, FirstFrame* frame) {
            if (frame->rows < 0) {
                frame->rows = 0;
                while (gtk_list_box_get_row_at_index(frame->list, frame->rows) != nullptr) {
                    ++frame->rows;
                }
                frame->height = gtk_widget_get_height(frame->scrolled);
                frame->selected = gtk_list_box_row_get_index(gtk_list_box_get_selected_row(frame->list));
            }
        }),
        &first);
    settle();
    g_signal_handler_disconnect(clock, handler);

    // The first frame held a screenful, at the height the list keeps.
    EXPECT_GT(first.rows, 0);
    EXPECT_LT(first.rows, 300);
    EXPECT_EQ(first.height, 480);
    EXPECT_EQ(first.selected, 0);
    ASSERT_TRUE(test::wait_until([&] { return gtk_widget_get_height(first.scrolled) > 0; }));
    EXPECT_EQ(gtk_widget_get_height(first.scrolled), 480);

    ASSERT_EQ(row_count(), 300);
    for (int i = 0; i < 300; ++i) {
        GtkListBoxRow* row = gtk_list_box_get_row_at_index(built_.list, i);
        ASSERT_EQ(row_initial_order(row), static_cast<uint32_t>(i));
        ASSERT_TRUE(row_shown(row));
    }
    EXPECT_EQ(selected(), "App 0000");
}

// Whatever acts on the list as a whole first completes it, so its outcome is
// that of a list built before the window was shown.
TEST_F(LauncherWindowTest, InputDuringTheBuildActsOnEveryRow) {
    struct Case {
        const char* name;
        std::function<void()> act;
        std::vector<std::string> shown;
        std::string selected;
    };
    const std::vector<Case> cases = {
        {"typing", [this] { type("zz"); }, {"Zz last"}, "Zz last"},
        {"a key the field takes",
         [this] { EXPECT_EQ(press(GDK_KEY_Left), GDK_EVENT_PROPAGATE); },
         {},
         "App 0000"},
        {"Down", [this] { press(GDK_KEY_Down); }, {}, "App 0001"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<AppEntry> entries = numbered_entries(1999);
        entries.push_back(entry("Zz last"));
        open_during_build(std::move(entries));
        c.act();
        EXPECT_FALSE(row_build_pending(built_.list));
        EXPECT_EQ(row_count(), 2000);
        if (!c.shown.empty()) {
            EXPECT_EQ(shown(), c.shown);
        }
        EXPECT_EQ(selected(), c.selected);
        TearDown();
        built_ = {};
    }
}

TEST_F(LauncherWindowTest, ReturnDuringTheBuildLaunchesWhatTheWholeListWould) {
    const std::string launched = dir_ / "launched";
    std::vector<AppEntry> entries = numbered_entries(1999);
    entries.push_back(entry("Zz last", std::nullopt, "touch " + launched));
    open_during_build(std::move(entries));
    type("zz");
    EXPECT_EQ(press(GDK_KEY_Return), GDK_EVENT_STOP);
    EXPECT_EQ(data_.state->history.counts["Zz last"], 1U);
    EXPECT_FALSE(gtk_widget_get_visible(GTK_WIDGET(built_.window)));
    EXPECT_TRUE(test::wait_until([&] { return g_file_test(launched.c_str(), G_FILE_TEST_EXISTS); }));
}

// Closing with rows still to come removes the batches: none runs on the
// destroyed list (the sanitizers' run of this test would report it).
TEST_F(LauncherWindowTest, EscapeDuringTheBuildClosesAtOnceAndEndsTheBuild) {
    open_during_build(numbered_entries(2000));
    GtkListBox* list = built_.list;
    EXPECT_EQ(press(GDK_KEY_Escape), GDK_EVENT_STOP);
    EXPECT_FALSE(gtk_widget_get_visible(GTK_WIDGET(built_.window)));
    EXPECT_FALSE(row_build_pending(list));
    // Time for the batches that would have followed.
    bool ticked = false;
    g_timeout_add_once(
        100, [](gpointer data) { *static_cast<bool*>(data) = true; }, &ticked);
    ASSERT_TRUE(test::wait_until([&] { return ticked; }));
}

// Rows out of view are left out of frames and drawn again once on view.
TEST_F(LauncherWindowTest, OnlyRowsOnViewArePainted) {
    open(numbered_entries(300));
    settle();
    auto painted = [&](int index) {
        return gtk_widget_get_opacity(GTK_WIDGET(gtk_list_box_get_row_at_index(built_.list, index))) > 0.0;
    };
    ASSERT_TRUE(test::wait_until([&] { return painted(0) && !painted(299); }));
    // To the end, as far as the latest layout reaches.
    GtkAdjustment* adjustment = gtk_list_box_get_adjustment(built_.list);
    EXPECT_TRUE(test::wait_until([&] {
        gtk_adjustment_set_value(adjustment, gtk_adjustment_get_upper(adjustment));
        return painted(299) && !painted(0);
    }));
    // Rows the query hides are unpainted too.
    type("app 0150");
    EXPECT_TRUE(test::wait_until([&] {
        std::vector<std::string> names;
        for (int i = 0; i < 300; ++i) {
            if (painted(i)) {
                names.push_back(row_entry(gtk_list_box_get_row_at_index(built_.list, i))->name);
            }
        }
        return names == std::vector<std::string>{"App 0150"};
    }));
}

// GTK's own fading caret is turned off for an on-off blink, shown again by
// each edit.
TEST_F(LauncherWindowTest, TheCaretBlinksOnAndOffAndShowsAtEachEdit) {
    GtkSettings* settings = gtk_settings_get_default();
    g_object_set(settings, "gtk-cursor-blink-time", 100, nullptr);
    open({entry("Alpha")});
    gtk_widget_grab_focus(GTK_WIDGET(built_.field));
    GtkWidget* text = GTK_WIDGET(gtk_editable_get_delegate(built_.field));
    auto hidden = [&] { return gtk_widget_has_css_class(text, "lumenpad-caret-hidden"); };
    gboolean gtk_blinks = TRUE;
    g_object_get(settings, "gtk-cursor-blink", &gtk_blinks, nullptr);
    EXPECT_FALSE(gtk_blinks);
    EXPECT_TRUE(test::wait_until(hidden));
    EXPECT_TRUE(test::wait_until([&] { return !hidden(); }));
    EXPECT_TRUE(test::wait_until(hidden));
    type("a");
    EXPECT_FALSE(hidden());
    EXPECT_TRUE(test::wait_until(hidden));
    g_object_set(settings, "gtk-cursor-blink-time", 1200, nullptr);
}

TEST_F(LauncherWindowTest, AnEmptyCatalogueStillTakesInput) {
    open({});
    EXPECT_EQ(selected(), "");
    type("x");
    EXPECT_EQ(press(GDK_KEY_Down), GDK_EVENT_STOP);
    EXPECT_EQ(selected(), "");
}

TEST(IsOutside, ThePanelEdgeCountsAsInside) {
    graphene_rect_t bounds;
    graphene_rect_init(&bounds, 340, 120, 600, 300);
    EXPECT_FALSE(is_outside(bounds, 340, 120));
    EXPECT_FALSE(is_outside(bounds, 940, 420));
    EXPECT_FALSE(is_outside(bounds, 600, 200));
    EXPECT_TRUE(is_outside(bounds, 339, 200));
    EXPECT_TRUE(is_outside(bounds, 941, 200));
    EXPECT_TRUE(is_outside(bounds, 600, 119));
    EXPECT_TRUE(is_outside(bounds, 600, 421));
}

// The theme library only reports a missing display; the launcher stops.
// The death test's child never opens one.
TEST(ApplyLauncherThemeDeathTest, StopsWithoutADisplay) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(apply_launcher_theme(), "no display");
}

}  // namespace
}  // namespace lumenpad
