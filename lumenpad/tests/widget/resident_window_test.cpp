// The resident window against a real compositor: each show starts fresh and
// commits a frame, toggles are answered once the window has the keyboard,
// launches run in the client's environment and are reaped, and nothing one
// show creates outlives it.
#include "lumenpad/resident_window.hpp"

#include "lumenpad/search.hpp"
#include "lumenpad/theming.hpp"

#include "../app_entries.hpp"
#include "lumenpad-test/main_loop.hpp"
#include "lumenpad-test/scoped_env.hpp"
#include "lumenpad-test/temp_dir.hpp"
#include "virtual_keyboard.hpp"

#include <gtest/gtest.h>

#include <glib/gstdio.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace lumenpad {
namespace {

using test::entry;

GtkApplication* resident_application() {
    static GtkApplication* application = [] {
        GtkApplication* app =
            gtk_application_new("com.velmora.lumenpad.ResidentTest", G_APPLICATION_NON_UNIQUE);
        g_application_register(G_APPLICATION(app), nullptr, nullptr);
        apply_launcher_theme();
        return app;
    }();
    return application;
}

std::string read_text(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// How many sources the default main context holds: GLib numbers them in
// order, so every live one has an id below a new one's.
int live_sources() {
    const guint last = g_idle_add([](gpointer) { return G_SOURCE_REMOVE; }, nullptr);
    g_source_remove(last);
    int count = 0;
    for (guint id = 1; id < last; ++id) {
        count += g_main_context_find_source_by_id(nullptr, id) != nullptr ? 1 : 0;
    }
    return count;
}

// Runs the main loop until it holds no more than `count` sources, for at
// most ten seconds; whether it came to that.
bool sources_settle_to(int count) {
    // The wait's own deadline is one of the sources counted.
    return test::wait_until([count] { return live_sources() <= count + 1; });
}

class ResidentWindowTest : public testing::Test {
protected:
    void SetUp() override {
        // The window is given the keyboard only where the seat has one.
        ASSERT_TRUE(keyboard_.ready()) << "needs the harness's virtual keyboard (LUMENPAD_VKBD)";
        env_.set("XDG_RUNTIME_DIR", dir_.path());
        // No scope requests: the launches start at once.
        env_.unset("DBUS_SESSION_BUS_ADDRESS");
        // The daemon's choice, for this test's windows alone.
        env_.unset("GSK_RENDERER");
        choose_resident_renderer();
    }
    void start(std::vector<AppEntry> entries) {
        window_ = std::make_unique<ResidentWindow>(resident_application(), inputs(std::move(entries)),
                                                   std::vector<std::string>{});
        // Every launch is reaped by the window; the test also notes it.
        auto reap = window_->state()->adopt_child;
        window_->state()->adopt_child = [this, reap](pid_t pid) {
            children_.push_back(pid);
            reap(pid);
        };
    }
    Inputs inputs(std::vector<AppEntry> entries) {
        Inputs made;
        made.entries = std::move(entries);
        made.history.path = dir_ / "history.json";
        return made;
    }
    void TearDown() override {
        window_.reset();
        test::drain_main_loop();
    }
    const LauncherWindow& built() const { return window_->window(); }
    ListData handler_data() const {
        return {window_->state(),  built().close_launcher, built().results,
                built().selection, built().list,           built().rows};
    }
    void show() {
        window_->show();
        ASSERT_TRUE(test::wait_until([&] { return gtk_widget_get_mapped(GTK_WIDGET(built().list)); }));
    }
    void type(const char* text) {
        gtk_editable_set_text(built().field, text);
        test::drain_main_loop();
    }
    void press(guint keyval) {
        ListData keys = handler_data();
        on_key_pressed(nullptr, keyval, 0, GdkModifierType{}, &keys);
        test::drain_main_loop();
    }
    std::vector<std::string> shown() const {
        std::vector<std::string> names;
        const ListData data = handler_data();
        for (guint i = 0; const AppEntry* row = entry_at(data, i); ++i) {
            names.push_back(row->name);
        }
        return names;
    }
    std::string selected() const {
        const AppEntry* row = entry_at(handler_data(), gtk_single_selection_get_selected(built().selection));
        return row != nullptr ? row->name : "";
    }
    double scrolled() const {
        return gtk_adjustment_get_value(gtk_scrollable_get_vadjustment(GTK_SCROLLABLE(built().list)));
    }
    // Whether the compositor has presented a frame of the window's numbered
    // after `counter`: a frame callback (or presentation feedback) answered.
    bool presented_after(gint64 counter) const {
        GdkFrameClock* clock = gtk_widget_get_frame_clock(GTK_WIDGET(built().window));
        if (clock == nullptr) {
            return false;
        }
        for (gint64 frame = gdk_frame_clock_get_frame_counter(clock); frame > counter; --frame) {
            GdkFrameTimings* timings = gdk_frame_clock_get_timings(clock, frame);
            if (timings != nullptr && gdk_frame_timings_get_complete(timings)) {
                return true;
            }
        }
        return false;
    }
    gint64 frame_counter() const {
        GdkFrameClock* clock = gtk_widget_get_frame_clock(GTK_WIDGET(built().window));
        return clock != nullptr ? gdk_frame_clock_get_frame_counter(clock) : 0;
    }

    test::VirtualKeyboard keyboard_;
    test::TempDir dir_;
    test::ScopedEnv env_;
    std::unique_ptr<ResidentWindow> window_;
    std::vector<pid_t> children_;
};

std::vector<AppEntry> catalogue(int numbered) {
    std::vector<AppEntry> entries{entry("Gamma"), entry("Beta"), entry("Alpha")};
    for (int i = 0; i < numbered; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "App %04d", i);
        entries.push_back(entry(name));
    }
    return entries;
}

// A show after the field was typed in, the list scrolled and a row started
// is the first show again, the launch counted: empty field, the initial
// order of the moment, its first row selected, the list at its top.
TEST_F(ResidentWindowTest, EachShowStartsFreshWithTheLaunchesCounted) {
    start(catalogue(200));
    show();
    EXPECT_EQ(shown().front(), "Alpha");
    for (int i = 0; i < 120; ++i) {
        press(GDK_KEY_Down);
    }
    ASSERT_TRUE(test::wait_until([&] { return scrolled() > 0.0; }));
    press(GDK_KEY_Escape);
    EXPECT_FALSE(window_->shown());

    show();
    EXPECT_EQ(gtk_editable_get_text(built().field), std::string());
    EXPECT_EQ(selected(), "Alpha");
    EXPECT_EQ(scrolled(), 0.0);

    type("gamm");
    ASSERT_EQ(selected(), "Gamma");
    press(GDK_KEY_Return);
    EXPECT_FALSE(window_->shown());
    EXPECT_EQ(read_text(dir_ / "history.json"), "{\"Gamma\":1}");

    show();
    EXPECT_EQ(gtk_editable_get_text(built().field), std::string());
    const std::vector<std::string> order = shown();
    ASSERT_EQ(order.size(), 203U);
    EXPECT_EQ((std::vector<std::string>(order.begin(), order.begin() + 4)),
              (std::vector<std::string>{"Gamma", "Alpha", "App 0000", "App 0001"}));
    EXPECT_EQ(selected(), "Gamma");
    // Typing and clearing the field again gives the same order.
    type("app");
    type("");
    EXPECT_EQ(shown(), order);
}

// The show after a launch, which asks the compositor for an activation token
// and then hides, still commits a frame that the compositor presents.
TEST_F(ResidentWindowTest, EveryShowAfterALaunchPresentsAFrame) {
    start(catalogue(50));
    for (int cycle = 0; cycle < 32; ++cycle) {
        const gint64 before = frame_counter();
        window_->show();
        ASSERT_TRUE(test::wait_until([&] { return presented_after(before); })) << "show " << cycle;
        press(GDK_KEY_Return);
        ASSERT_FALSE(window_->shown());
        ASSERT_TRUE(test::wait_until([&] { return !gtk_widget_get_mapped(GTK_WIDGET(built().window)); }));
    }
}

// A toggle is answered "shown" only once the window has the keyboard: keys
// typed as the client returns reach the field. A client gone by then leaves
// the window hidden again; a toggle while shown hides and answers "hidden".
// Several rounds: GTK 4.8 hears late of the keyboard leaving a hidden
// window.
TEST_F(ResidentWindowTest, TogglesAreAnsweredOnceDone) {
    start(catalogue(3));
    struct Case {
        const char* what;
        bool client_waits;
        bool shown_after;
    };
    const Case cases[] = {{"client waiting", true, true},
                          {"client gone", false, false},
                          {"client waiting again", true, true},
                          {"client waiting once more", true, true}};
    for (const Case& c : cases) {
        std::vector<ResidentAnswer> answers;
        window_->toggle({dir_.path(), {}}, [&](ResidentAnswer answer) {
            answers.push_back(answer);
            if (c.client_waits) {
                EXPECT_EQ(keyboard_.send("type q"), "ok") << c.what;
            }
            return c.client_waits;
        });
        ASSERT_TRUE(test::wait_until([&] { return !answers.empty(); })) << c.what;
        EXPECT_EQ(answers, std::vector<ResidentAnswer>{ResidentAnswer::shown}) << c.what;
        EXPECT_EQ(window_->shown(), c.shown_after) << c.what;
        if (window_->shown()) {
            EXPECT_TRUE(test::wait_until([&] {
                return gtk_editable_get_text(built().field) == std::string("q");
            })) << c.what;
            window_->toggle({dir_.path(), {}}, [&](ResidentAnswer answer) {
                answers.push_back(answer);
                return true;
            });
            EXPECT_EQ(answers.back(), ResidentAnswer::hidden) << c.what;
            EXPECT_FALSE(window_->shown()) << c.what;
        }
        ASSERT_TRUE(test::wait_until([&] { return !gtk_widget_get_mapped(GTK_WIDGET(built().window)); }));
    }
}

// A launch runs in the toggling client's directory with its environment, in
// a session of its own, and the child, once it ends, is reaped.
TEST_F(ResidentWindowTest, LaunchesRunAsTheClientAndAreReaped) {
    const std::string report = dir_ / "report";
    const std::string client_dir = dir_.make_dir("client");
    const std::string part = report + ".part";
    start({entry("Report", std::nullopt,
                 "pwd > '" + part + "'; echo \"$MARK\" >> '" + part + "'; cut -d' ' -f6 /proc/$$/stat >> '" +
                     part + "'; mv '" + part + "' '" + report + "'")});
    const char* path = g_getenv("PATH");
    bool answered = false;
    window_->toggle(
        {client_dir, {"MARK=from the client", std::string("PATH=") + (path != nullptr ? path : "")}},
        [&](ResidentAnswer) { return answered = true; });
    ASSERT_TRUE(test::wait_until([&] { return answered; }));
    press(GDK_KEY_Return);
    ASSERT_TRUE(test::wait_until([&] { return g_file_test(report.c_str(), G_FILE_TEST_EXISTS); }));
    ASSERT_EQ(children_.size(), 1U);
    EXPECT_EQ(read_text(report), client_dir + "\nfrom the client\n" + std::to_string(children_[0]) + "\n");
    const std::string proc = "/proc/" + std::to_string(children_[0]);
    EXPECT_TRUE(test::wait_until([&] { return !g_file_test(proc.c_str(), G_FILE_TEST_EXISTS); }))
        << "the child is left a zombie";
}

int row_widget_count(GtkListView* list) {
    int count = 0;
    for (GtkWidget* row = gtk_widget_get_first_child(GTK_WIDGET(list)); row != nullptr;
         row = gtk_widget_get_next_sibling(row)) {
        ++count;
    }
    return count;
}

// Once hidden, the window holds no source of its own (the caret's timer, a
// frame) and no more rows than before; a new catalogue while hidden
// releases the old window and everything it owned, and keeps the daemon's
// launch counts.
TEST_F(ResidentWindowTest, NothingAShowCreatesOutlivesIt) {
    start(catalogue(300));
    test::drain_main_loop();
    const int sources = live_sources();
    int rows = 0;
    for (int cycle = 0; cycle < 6; ++cycle) {
        show();
        type("app 02");
        type("");
        window_->hide();
        // What the hide itself queued (the frame clock's last cycle, GTK's
        // tooltip timer) runs once, then nothing is left.
        EXPECT_TRUE(sources_settle_to(sources)) << "cycle " << cycle;
        if (cycle == 0) {
            rows = row_widget_count(built().list);
        }
        EXPECT_EQ(row_widget_count(built().list), rows) << "cycle " << cycle;
    }

    show();
    type("beta");
    press(GDK_KEY_Return);
    struct Probe {
        const char* what;
        gpointer object;
    };
    Probe probes[] = {{"window", built().window},
                      {"list model", built().results},
                      {"selection", built().selection},
                      {"list view", built().list},
                      {"row stylesheet provider", built().rows->empty_row_style.get()}};
    for (Probe& probe : probes) {
        g_object_add_weak_pointer(G_OBJECT(probe.object), &probe.object);
    }
    window_->replace_inputs(inputs({entry("Delta"), entry("Beta")}));
    EXPECT_TRUE(test::wait_until([&] {
        return std::all_of(std::begin(probes), std::end(probes),
                           [](const Probe& p) { return p.object == nullptr; });
    }));
    for (Probe& probe : probes) {
        EXPECT_EQ(probe.object, nullptr) << probe.what << " outlived the catalogue";
        if (probe.object != nullptr) {
            g_object_remove_weak_pointer(G_OBJECT(probe.object), &probe.object);
        }
    }
    show();
    EXPECT_EQ(shown(), (std::vector<std::string>{"Beta", "Delta"}));
}

}  // namespace
}  // namespace lumenpad
