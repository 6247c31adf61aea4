// The launcher window against a real display: the list and its rows,
// filtering, sorting, selection and the key table, driven through the
// handlers themselves, and keys and clicks through the compositor.
#include "lumenpad/window.hpp"

#include "lumenpad/search.hpp"
#include "lumenpad/theming.hpp"

#include "../app_entries.hpp"
#include "lumenpad-test/main_loop.hpp"
#include "lumenpad-test/scoped_env.hpp"
#include "lumenpad-test/temp_dir.hpp"
#include "virtual_keyboard.hpp"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

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

// The rows the list has made with their content, top to bottom, with what
// they show. (Rows far from the view are made empty.)
struct RowWidget {
    GtkWidget* row;
    GtkImage* icon;
    std::string name;
    std::string wm_class;  // empty when hidden
};

std::vector<RowWidget> row_widgets(GtkListView* list) {
    std::vector<RowWidget> rows;
    for (GtkWidget* row = gtk_widget_get_first_child(GTK_WIDGET(list)); row != nullptr;
         row = gtk_widget_get_next_sibling(row)) {
        GtkWidget* box = gtk_widget_get_first_child(row);
        GtkWidget* icon = box != nullptr ? gtk_widget_get_first_child(box) : nullptr;
        if (icon == nullptr || !gtk_widget_get_child_visible(row)) {
            continue;
        }
        GtkWidget* name = gtk_widget_get_next_sibling(icon);
        GtkWidget* wm_class = gtk_widget_get_next_sibling(name);
        rows.push_back({row, GTK_IMAGE(icon), gtk_label_get_text(GTK_LABEL(name)),
                        gtk_widget_get_visible(wm_class) ? gtk_label_get_text(GTK_LABEL(wm_class)) : ""});
    }
    return rows;
}

// Whether every row that the list's view shows has its content.
bool rows_on_view_complete(GtkListView* list) {
    GtkWidget* scrolled = gtk_widget_get_ancestor(GTK_WIDGET(list), GTK_TYPE_SCROLLED_WINDOW);
    for (GtkWidget* row = gtk_widget_get_first_child(GTK_WIDGET(list)); row != nullptr;
         row = gtk_widget_get_next_sibling(row)) {
        graphene_rect_t bounds;
        if (!gtk_widget_get_child_visible(row) || !gtk_widget_compute_bounds(row, scrolled, &bounds)) {
            continue;
        }
        const bool on_view =
            bounds.origin.y + bounds.size.height > 0 && bounds.origin.y < gtk_widget_get_height(scrolled);
        GtkWidget* box = gtk_widget_get_first_child(row);
        if (on_view && (box == nullptr || gtk_widget_get_first_child(box) == nullptr)) {
            return false;
        }
    }
    return true;
}

// A swaymsg command to the session's compositor; whether it succeeded.
bool swaymsg(std::vector<std::string> words) {
    std::vector<char*> argv{const_cast<char*>("swaymsg")};
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    // Its answer, kept out of the test's output.
    char* answer = nullptr;
    int status = 0;
    const bool ran = g_spawn_sync(nullptr, argv.data(), nullptr, G_SPAWN_SEARCH_PATH, nullptr, nullptr,
                                  &answer, nullptr, &status, nullptr);
    g_free(answer);
    return ran && g_spawn_check_wait_status(status, nullptr);
}

class LauncherWindowTest : public testing::Test {
protected:
    void open(std::vector<AppEntry> entries) {
        build(std::move(entries));
        gtk_window_present(built_.window);
        ASSERT_TRUE(test::wait_until([&] { return gtk_widget_get_mapped(GTK_WIDGET(built_.list)); }));
        test::drain_main_loop();
    }
    // Builds the window without showing it.
    void build(std::vector<AppEntry> entries) {
        // Keep the launcher away from the real pid file and history.
        env_.set("XDG_RUNTIME_DIR", dir_.path());
        data_.state = std::make_shared<LauncherState>();
        data_.state->entries = std::move(entries);
        data_.state->history.path = dir_ / "history.json";
        built_ = build_window(test_application(), data_);
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
    ListData handler_data() {
        return {data_.state,      built_.close_launcher, built_.results,
                built_.selection, built_.list,           built_.rows};
    }
    gboolean press(guint keyval) {
        ListData keys = handler_data();
        const gboolean handled = on_key_pressed(nullptr, keyval, 0, GdkModifierType{}, &keys);
        test::drain_main_loop();
        return handled;
    }
    // Names of the rows the list shows, in order.
    std::vector<std::string> shown() {
        std::vector<std::string> names;
        const ListData data = handler_data();
        for (guint i = 0; const AppEntry* entry = entry_at(data, i); ++i) {
            names.push_back(entry->name);
        }
        return names;
    }
    std::string selected() {
        const AppEntry* entry = entry_at(handler_data(), gtk_single_selection_get_selected(built_.selection));
        return entry != nullptr ? entry->name : "";
    }
    // Whether the selected row's widget lies wholly inside the list's view.
    bool selection_on_view() {
        GtkWidget* scrolled = gtk_widget_get_ancestor(GTK_WIDGET(built_.list), GTK_TYPE_SCROLLED_WINDOW);
        for (const RowWidget& row : row_widgets(built_.list)) {
            graphene_rect_t bounds;
            if (row.name == selected() && gtk_widget_compute_bounds(row.row, scrolled, &bounds)) {
                return bounds.origin.y >= 0 &&
                       bounds.origin.y + bounds.size.height <= gtk_widget_get_height(scrolled);
            }
        }
        return false;
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
    const auto rows = row_widgets(built_.list);
    ASSERT_EQ(rows.size(), 3U);
    // The window class shows only where there is one.
    EXPECT_EQ(rows[0].name, "Zeta");
    EXPECT_EQ(rows[0].wm_class, "");
    EXPECT_EQ(rows[1].name, "Alpha");
    EXPECT_EQ(rows[1].wm_class, "alpha-class");
    EXPECT_STREQ(gtk_image_get_icon_name(rows[2].icon), "application-x-executable");
    EXPECT_EQ(gtk_image_get_pixel_size(rows[2].icon), 32);
}

// A window class and a name far past what a row shows: both labels show
// their bounded texts, ellipsized, and the panel keeps its 600 pixels.
TEST_F(LauncherWindowTest, HugeTextsAreShownBoundedWithinTheColumn) {
    open({entry(std::string(100'000, 'n'), std::string(30'000, 'c')), entry("Mid", "mid-class")});
    const auto rows = row_widgets(built_.list);
    ASSERT_EQ(rows.size(), 2U);
    EXPECT_EQ(rows[0].name, std::string(1024, 'n'));
    EXPECT_EQ(rows[0].wm_class, std::string(1024, 'c'));
    EXPECT_EQ(rows[1].wm_class, "mid-class");
    GtkWidget* class_label = gtk_widget_get_last_child(gtk_widget_get_first_child(rows[0].row));
    EXPECT_EQ(gtk_label_get_ellipsize(GTK_LABEL(class_label)), PANGO_ELLIPSIZE_END);
    EXPECT_EQ(gtk_widget_get_width(GTK_WIDGET(built_.column)), 600);
    // The window asks for no more than the column's width.
    int minimum = 0;
    gtk_widget_measure(GTK_WIDGET(built_.window), GTK_ORIENTATION_HORIZONTAL, -1, &minimum, nullptr, nullptr,
                       nullptr);
    EXPECT_LE(minimum, 600);
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
    EXPECT_EQ(selected(), "");
    // Return finds nothing to start, and is consumed.
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
    EXPECT_TRUE(test::wait_until([&] {
        const auto rows = row_widgets(built_.list);
        return rows.size() == 2 && rows[0].name == "zab" && rows[1].name == "abc";
    }));
}

// Only the rows about the view have their content, at the height the list
// keeps; scrolling by other means than the keys fills the rows it brings.
TEST_F(LauncherWindowTest, ALargeCatalogueHasRowContentOnlyAboutTheView) {
    open(numbered_entries(5000));
    GtkWidget* scrolled = gtk_widget_get_ancestor(GTK_WIDGET(built_.list), GTK_TYPE_SCROLLED_WINDOW);
    ASSERT_TRUE(test::wait_until([&] { return gtk_widget_get_height(scrolled) > 0; }));
    EXPECT_EQ(gtk_widget_get_height(scrolled), 480);
    const auto rows = row_widgets(built_.list);
    ASSERT_FALSE(rows.empty());
    EXPECT_LT(rows.size(), 40U);
    EXPECT_EQ(rows.front().name, "App 0000");
    EXPECT_EQ(selected(), "App 0000");
    EXPECT_TRUE(selection_on_view());
    EXPECT_TRUE(rows_on_view_complete(built_.list));

    GtkAdjustment* adjustment = gtk_scrollable_get_vadjustment(GTK_SCROLLABLE(built_.list));
    gtk_adjustment_set_value(adjustment, gtk_adjustment_get_upper(adjustment) / 2);
    EXPECT_TRUE(test::wait_until([&] {
        const auto now = row_widgets(built_.list);
        return std::any_of(now.begin(), now.end(), [](const RowWidget& r) { return r.name == "App 2500"; }) &&
               rows_on_view_complete(built_.list);
    }));
}

// Down and Up keep the selected row on view all the way through a long list,
// and the view stays where the selection took it.
TEST_F(LauncherWindowTest, TheSelectionStaysOnViewFromTopToBottom) {
    open(numbered_entries(5000));
    ASSERT_TRUE(test::wait_until([&] { return selection_on_view(); }));
    for (int i = 1; i <= 40; ++i) {
        press(GDK_KEY_Down);
        ASSERT_TRUE(test::wait_until([&] { return selection_on_view(); })) << "after " << i << " steps";
        ASSERT_TRUE(rows_on_view_complete(built_.list)) << "after " << i << " steps";
    }
    while (selected() != "App 4999") {
        ASSERT_EQ(press(GDK_KEY_Down), GDK_EVENT_STOP);
    }
    EXPECT_TRUE(test::wait_until([&] { return selection_on_view(); }));
    // A few frames later the view has not moved away from it.
    int frames = 0;
    GdkFrameClock* clock = gtk_widget_get_frame_clock(GTK_WIDGET(built_.list));
    const gulong counting =
        g_signal_connect_swapped(clock, "after-paint", G_CALLBACK(+[](int* n) { ++*n; }), &frames);
    ASSERT_TRUE(test::wait_until([&] {
        gtk_widget_queue_draw(GTK_WIDGET(built_.list));
        return frames >= 3;
    }));
    g_signal_handler_disconnect(clock, counting);
    EXPECT_TRUE(selection_on_view());
    EXPECT_TRUE(rows_on_view_complete(built_.list));
    // At the end Down does nothing; Up goes back one.
    press(GDK_KEY_Down);
    EXPECT_EQ(selected(), "App 4999");
    press(GDK_KEY_Up);
    EXPECT_EQ(selected(), "App 4998");
    EXPECT_TRUE(test::wait_until([&] { return selection_on_view(); }));
}

// Rows show the manifest's image files: those on view from the first frame,
// those further down once decoded, and a file that is no image falls back to
// the icon name.
TEST_F(LauncherWindowTest, RowsShowTheirIconFilesImages) {
    // Large enough that decoding them all takes a while.
    const std::string png = [] {
        constexpr int side = 512;
        const std::string pixels(side * side * 4, '\x7F');
        GBytes* memory = g_bytes_new(pixels.data(), pixels.size());
        GdkTexture* texture = gdk_memory_texture_new(side, side, GDK_MEMORY_R8G8B8A8, memory, side * 4);
        GBytes* bytes = gdk_texture_save_to_png_bytes(texture);
        std::string data(static_cast<const char*>(g_bytes_get_data(bytes, nullptr)), g_bytes_get_size(bytes));
        g_bytes_unref(bytes);
        g_object_unref(texture);
        g_bytes_unref(memory);
        return data;
    }();
    std::vector<AppEntry> entries = numbered_entries(300);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        entries[i].icon = "zq-name";
        entries[i].icon_path = dir_.write("icon" + std::to_string(i) + ".png", i == 1 ? "not an image" : png);
    }
    open(std::move(entries));
    auto images = [&] {
        std::vector<bool> out;
        for (const RowWidget& row : row_widgets(built_.list)) {
            out.push_back(gtk_image_get_storage_type(row.icon) == GTK_IMAGE_PAINTABLE);
        }
        return out;
    };
    const auto first = images();
    ASSERT_GE(first.size(), 3U);
    EXPECT_TRUE(first[0]);
    EXPECT_FALSE(first[1]);
    EXPECT_STREQ(gtk_image_get_icon_name(row_widgets(built_.list)[1].icon), "zq-name");
    EXPECT_TRUE(first[2]);
    while (selected() != "App 0299") {
        press(GDK_KEY_Down);
    }
    EXPECT_TRUE(test::wait_until([&] {
        const auto now = images();
        return selection_on_view() && std::count(now.begin(), now.end(), true) == std::ssize(now);
    }));
}

TEST_F(LauncherWindowTest, ReturnAndAClickStartTheirRow) {
    struct Case {
        const char* what;
        bool click;
    };
    for (const Case c : {Case{"Return", false}, Case{"click", true}}) {
        SCOPED_TRACE(c.what);
        const std::string launched = dir_ / "launched";
        std::remove(launched.c_str());
        std::vector<AppEntry> entries = numbered_entries(1999);
        entries.push_back(entry("Zz other"));
        entries.push_back(entry("Zz target", std::nullopt, "touch " + launched));
        open(std::move(entries));
        type("zz");
        gpointer window = built_.window;
        g_object_add_weak_pointer(G_OBJECT(window), &window);
        if (c.click) {
            ASSERT_TRUE(test::wait_until([&] { return row_widgets(built_.list).size() == 2; }));
            graphene_rect_t bounds;
            ASSERT_TRUE(
                gtk_widget_compute_bounds(row_widgets(built_.list)[1].row, GTK_WIDGET(built_.list), &bounds));
            ListData data = handler_data();
            on_row_clicked(nullptr, 1, bounds.origin.x + 2, bounds.origin.y + 2, &data);
        } else {
            press(GDK_KEY_Down);
            EXPECT_EQ(press(GDK_KEY_Return), GDK_EVENT_STOP);
        }
        EXPECT_EQ(data_.state->history.counts["Zz target"], 1U);
        // Closed, and with it released.
        EXPECT_TRUE(test::wait_until([&] { return window == nullptr; }));
        EXPECT_TRUE(test::wait_until([&] { return g_file_test(launched.c_str(), G_FILE_TEST_EXISTS); }));
        if (window != nullptr) {
            g_object_remove_weak_pointer(G_OBJECT(window), &window);
            TearDown();
        }
        built_ = {};
    }
}

// Real key events, through the compositor and the window's key controller,
// and a real click on a row, through its gesture.
TEST_F(LauncherWindowTest, KeysAndAClickThroughTheCompositorStartTheirRow) {
    struct Case {
        const char* what;
        bool click;
    };
    test::VirtualKeyboard keyboard;
    ASSERT_TRUE(keyboard.ready()) << "needs the harness's virtual keyboard (LUMENPAD_VKBD)";
    for (const Case c : {Case{"keys", false}, Case{"click", true}}) {
        SCOPED_TRACE(c.what);
        const std::string launched = dir_ / "launched";
        std::remove(launched.c_str());
        open({entry("Alpha"), entry("Zz other"), entry("Zz target", std::nullopt, "touch " + launched)});
        gtk_widget_grab_focus(GTK_WIDGET(built_.field));
        // The layer surface takes the keyboard once it is mapped.
        ASSERT_TRUE(test::wait_until([&] { return gtk_window_is_active(built_.window); }));
        ASSERT_EQ(keyboard.send("type zz"), "ok");
        ASSERT_TRUE(test::wait_until([&] {
            return shown() == std::vector<std::string>{"Zz other", "Zz target"};
        }));
        if (c.click) {
            ASSERT_TRUE(test::wait_until([&] { return row_widgets(built_.list).size() == 2; }));
            graphene_rect_t bounds;
            ASSERT_TRUE(gtk_widget_compute_bounds(row_widgets(built_.list)[1].row, GTK_WIDGET(built_.window),
                                                  &bounds));
            const std::string x = std::to_string(static_cast<int>(bounds.origin.x + bounds.size.width / 2));
            const std::string y = std::to_string(static_cast<int>(bounds.origin.y + bounds.size.height / 2));
            ASSERT_TRUE(swaymsg({"seat", "-", "cursor", "set", x, y}));
            ASSERT_TRUE(swaymsg({"seat", "-", "cursor", "press", "button1"}));
            ASSERT_TRUE(swaymsg({"seat", "-", "cursor", "release", "button1"}));
            // Out of the way of the rows of the tests that follow.
            ASSERT_TRUE(swaymsg({"seat", "-", "cursor", "set", "0", "0"}));
        } else {
            ASSERT_EQ(keyboard.send("key Down"), "ok");
            ASSERT_TRUE(test::wait_until([&] { return selected() == "Zz target"; }));
            ASSERT_EQ(keyboard.send("key Return"), "ok");
        }
        EXPECT_TRUE(test::wait_until([&] { return g_file_test(launched.c_str(), G_FILE_TEST_EXISTS); }));
        EXPECT_EQ(data_.state->history.counts["Zz target"], 1U);
        EXPECT_FALSE(gtk_widget_get_visible(GTK_WIDGET(built_.window)));
        TearDown();
        built_ = {};
    }
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

// Closing releases everything the open created: the window with its
// widgets, the list's model and selection, the rows' stylesheet provider,
// and the list view that owns the rows and their icon thread.
TEST_F(LauncherWindowTest, ClosingFinalizesTheWindowAndWhatItOwns) {
    std::vector<AppEntry> entries = numbered_entries(300);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        entries[i].icon_path = dir_.write("icon" + std::to_string(i) + ".png", "not an image");
    }
    open(std::move(entries));
    type("app 01");
    ASSERT_NE(built_.rows->empty_row_style, nullptr);
    struct Probe {
        const char* what;
        gpointer object;
    };
    Probe probes[] = {{"window", built_.window},
                      {"list model", built_.results},
                      {"selection", built_.selection},
                      {"list view", built_.list},
                      {"row stylesheet provider", built_.rows->empty_row_style.get()}};
    for (Probe& probe : probes) {
        g_object_add_weak_pointer(G_OBJECT(probe.object), &probe.object);
    }
    const CloseLauncher close = built_.close_launcher;
    built_ = {};
    (*close)();
    EXPECT_TRUE(test::wait_until([&] {
        return std::all_of(std::begin(probes), std::end(probes),
                           [](const Probe& p) { return p.object == nullptr; });
    }));
    for (Probe& probe : probes) {
        EXPECT_EQ(probe.object, nullptr) << probe.what << " outlived the close";
        if (probe.object != nullptr) {
            g_object_remove_weak_pointer(G_OBJECT(probe.object), &probe.object);
        }
    }
    // Closing again, after the window has gone, does nothing.
    (*close)();
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
