#include "oriel-theme/palette.hpp"
#include "oriel-theme/stylesheet.hpp"
#include "widget_support.hpp"

#include <cstdio>
#include <memory>

namespace oriel {
namespace {

using lumenpad::test::write_file;
using testing::contents;
using testing::label_colour;
using testing::serialised;
using testing::wait_until;

constexpr const char* red = "rgb(255,0,0)";
constexpr const char* green = "rgb(0,255,0)";
constexpr const char* blue = "rgb(0,0,255)";

class LoadCssIntoSlot : public testing::GtkTest {};

TEST_F(LoadCssIntoSlot, ReplacesTheRulesOfItsOneProvider) {
    ProviderSlot slot;
    const std::string plain = label_colour("oriel-probe-none");
    load_css_into_slot(".oriel-probe-a { color: #ff0000; }", slot);
    ASSERT_TRUE(slot.provider);
    GtkCssProvider* first = slot.provider.get();
    EXPECT_EQ(label_colour("oriel-probe-a"), red);

    load_css_into_slot(".oriel-probe-b { color: #00ff00; }", slot);
    EXPECT_EQ(slot.provider.get(), first);
    EXPECT_FALSE(slot.in_use);
    EXPECT_EQ(label_colour("oriel-probe-b"), green);
    EXPECT_EQ(label_colour("oriel-probe-a"), plain) << "the first rules must be gone, not stacked";

    load_css_into_slot("", slot);
    EXPECT_EQ(label_colour("oriel-probe-b"), plain);
}

TEST_F(LoadCssIntoSlot, KeepsANestedLoadIntoTheSameSlotOut) {
    ProviderSlot slot;
    load_css_into_slot(".oriel-probe-outer { color: #ff0000; }", slot);
    ASSERT_TRUE(slot.provider);
    struct Nested {
        ProviderSlot* slot;
        int errors = 0;
    } nested{&slot};
    const gulong handler =
        g_signal_connect(slot.provider.get(), "parsing-error",
                         G_CALLBACK(+[](GtkCssProvider*, GtkCssSection*, const GError*, gpointer data) {
                             auto* n = static_cast<Nested*>(data);
                             ++n->errors;
                             load_css_into_slot(".oriel-probe-nested { color: #0000ff; }", *n->slot);
                         }),
                         &nested);
    const std::string outer =
        ".oriel-probe-outer { colour: #00ff00; } .oriel-probe-outer { color: #00ff00; }";
    load_css_into_slot(outer, slot);
    g_signal_handler_disconnect(slot.provider.get(), handler);

    EXPECT_GE(nested.errors, 1);
    EXPECT_FALSE(slot.in_use);
    EXPECT_EQ(contents(slot), serialised(outer));
    EXPECT_EQ(label_colour("oriel-probe-outer"), green);
}

class ApplyUserStylesheet : public testing::GtkTest {};

TEST_F(ApplyUserStylesheet, LoadsAboveApplicationRulesAndWithdrawsThemWhenTheFileGoes) {
    const std::string path = dir / "config/style.css";
    ProviderSlot user;
    apply_user_stylesheet(path, user);
    EXPECT_FALSE(user.provider) << "a missing file creates nothing";

    // The application provider comes second: among equal priorities the
    // later one would win.
    write_file(path, ".oriel-probe-user { color: #0000ff; }");
    apply_user_stylesheet(path, user);
    ASSERT_TRUE(user.provider);
    ProviderSlot application;
    load_css_into_slot(".oriel-probe-user { color: #ff0000; }", application);
    GtkCssProvider* first = user.provider.get();
    EXPECT_EQ(label_colour("oriel-probe-user"), blue);

    std::filesystem::remove(path);
    apply_user_stylesheet(path, user);
    EXPECT_EQ(user.provider.get(), first);
    EXPECT_EQ(contents(user), "");
    EXPECT_EQ(label_colour("oriel-probe-user"), red);

    write_file(path, ".oriel-probe-user { color: #00ff00; }");
    apply_user_stylesheet(path, user);
    EXPECT_EQ(label_colour("oriel-probe-user"), green);
    write_file(path, ".oriel-probe-user { color: #00ff00; } /* \xff */");
    apply_user_stylesheet(path, user);
    EXPECT_EQ(contents(user), "") << "a file that is not UTF-8 counts as unreadable";
    load_css_into_slot("", application);
}

class SharedStylesheet : public testing::GtkTest {};

TEST_F(SharedStylesheet, TakesTheThemeFileWholeOrGeneratesFromThePalette) {
    write_file(dir / "cache/wal/colors.json", R"({"special": {"background": "#fafafa"}})");
    apply_shared_stylesheet();
    ThemeState& state = theme_state();
    const std::string generated = serialised(generate_stylesheet(load_palette()));
    ASSERT_NE(generated, serialised(generate_stylesheet(default_palette()))) << "the palette file is read";
    EXPECT_EQ(contents(state.shared), generated);

    write_file(theme_file(), ".oriel-probe-shared { color: #00ff00; }");
    apply_shared_stylesheet();
    EXPECT_EQ(contents(state.shared), serialised(".oriel-probe-shared { color: #00ff00; }"));
    EXPECT_EQ(label_colour("oriel-probe-shared"), green);

    write_file(theme_file(), "");
    apply_shared_stylesheet();
    EXPECT_EQ(contents(state.shared), "") << "an empty theme file is an empty stylesheet";
}

class ApplyTheme : public testing::GtkTest {};

TEST_F(ApplyTheme, KeepsOneProviderAndOneMonitorAndFollowsTheThemeFile) {
    ThemeState& state = theme_state();
    apply_theme();
    ASSERT_TRUE(state.shared.provider);
    ASSERT_TRUE(state.theme_monitor.monitor) << "the theme directory is created and watched";
    EXPECT_TRUE(std::filesystem::is_directory(dir / "run/oriel"));
    GtkCssProvider* provider = state.shared.provider.get();
    GFileMonitor* monitor = state.theme_monitor.monitor.get();
    apply_theme();
    EXPECT_EQ(state.shared.provider.get(), provider);
    EXPECT_EQ(state.theme_monitor.monitor.get(), monitor);

    const std::string generated = serialised(generate_stylesheet(default_palette()));
    const std::string themed = serialised(".oriel-probe-live { color: #00ff00; }");
    EXPECT_EQ(contents(state.shared), generated);
    write_file(theme_file(), ".oriel-probe-live { color: #00ff00; }");
    EXPECT_TRUE(wait_until([&] { return contents(state.shared) == themed; })) << "reload on write";
    EXPECT_EQ(label_colour("oriel-probe-live"), green);

    std::filesystem::remove(theme_file());
    EXPECT_TRUE(wait_until([&] { return contents(state.shared) == generated; })) << "reload on delete";

    write_file(dir / "run/oriel/theme.css.new", ".oriel-probe-live { color: #0000ff; }");
    std::filesystem::rename(dir / "run/oriel/theme.css.new", theme_file());
    const std::string renamed = serialised(".oriel-probe-live { color: #0000ff; }");
    EXPECT_TRUE(wait_until([&] { return contents(state.shared) == renamed; })) << "reload on rename";
}

class ExtraStylesheet : public testing::GtkTest {};

TEST_F(ExtraStylesheet, DoesNothingWithoutABuilder) {
    ThemeState& state = theme_state();
    set_extra_stylesheet([] { return std::string(".oriel-probe-kept { color: #ff0000; }"); });
    apply_extra_stylesheet();
    ASSERT_TRUE(state.extra.provider);
    GtkCssProvider* provider = state.extra.provider.get();

    set_extra_stylesheet(nullptr);
    apply_extra_stylesheet();
    EXPECT_EQ(state.extra.provider.get(), provider);
    EXPECT_EQ(contents(state.extra), serialised(".oriel-probe-kept { color: #ff0000; }"));
}

TEST_F(ExtraStylesheet, RebuildsOnEveryApplyAndOnThemeFileChanges) {
    ThemeState& state = theme_state();
    auto first_alive = std::make_shared<int>(0);
    std::weak_ptr<int> first_watch = first_alive;
    set_extra_stylesheet(
        [held = std::move(first_alive)] { return std::string(".oriel-probe-extra { color: #ff0000; }"); });
    apply_extra_stylesheet();
    EXPECT_EQ(label_colour("oriel-probe-extra"), red);

    int builds = 0;
    std::string colour = "#00ff01";
    set_extra_stylesheet([&builds, &colour] {
        ++builds;
        return ".oriel-probe-extra { color: " + colour + "; }";
    });
    EXPECT_TRUE(first_watch.expired()) << "a replaced builder is destroyed";
    apply_extra_stylesheet();
    EXPECT_EQ(builds, 1);
    EXPECT_EQ(label_colour("oriel-probe-extra"), "rgb(0,255,1)");

    watch_extra_stylesheet();
    ASSERT_TRUE(state.extra_monitor.monitor);
    GFileMonitor* monitor = state.extra_monitor.monitor.get();
    watch_extra_stylesheet();
    EXPECT_EQ(state.extra_monitor.monitor.get(), monitor);
    EXPECT_EQ(builds, 1) << "watching builds nothing by itself";

    colour = "#00ff00";
    write_file(theme_file(), "");
    EXPECT_TRUE(wait_until([&] { return builds >= 2; }));
    EXPECT_EQ(label_colour("oriel-probe-extra"), green);
}

class EndThemeState : public testing::GtkTest {};

TEST_F(EndThemeState, WithdrawsTheProvidersAndStopsTheMonitorsAndTheBuilder) {
    const std::string plain = label_colour("oriel-probe-none");
    auto alive = std::make_shared<int>(0);
    const std::weak_ptr<int> builder = alive;
    set_extra_stylesheet(
        [held = std::move(alive)] { return std::string(".oriel-probe-end { color: #ff0000; }"); });
    ASSERT_EQ(apply_extra_stylesheet(), ThemeResult::done);
    ASSERT_EQ(apply_theme(), ThemeResult::done);
    watch_extra_stylesheet();
    ThemeState& state = theme_state();
    ASSERT_TRUE(state.theme_monitor.monitor && state.extra_monitor.monitor);
    // References held elsewhere (GIO may hold one) outlive the state.
    const auto theme_monitor = lumenpad::retain(state.theme_monitor.monitor.get());
    const auto extra_monitor = lumenpad::retain(state.extra_monitor.monitor.get());
    EXPECT_EQ(label_colour("oriel-probe-end"), red);

    end_theme_state();
    EXPECT_EQ(label_colour("oriel-probe-end"), plain);
    EXPECT_TRUE(builder.expired());
    for (GFileMonitor* monitor : {theme_monitor.get(), extra_monitor.get()}) {
        EXPECT_TRUE(g_file_monitor_is_cancelled(monitor));
        EXPECT_FALSE(
            g_signal_has_handler_pending(monitor, g_signal_lookup("changed", G_TYPE_FILE_MONITOR), 0, TRUE));
    }
    EXPECT_FALSE(theme_state().shared.provider) << "the next use starts afresh";
}

// The library reports a missing display and leaves the decision to its
// caller. The check runs in a child process that never opened one.
TEST(NoDisplay, IsReportedToTheCaller) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            ProviderSlot slot;
            const bool reported = load_css_into_slot("", slot) == ThemeResult::no_display &&
                                  apply_user_stylesheet("missing.css", slot) == ThemeResult::no_display &&
                                  apply_theme() == ThemeResult::no_display &&
                                  !theme_state().theme_monitor.monitor;
            std::exit(reported && !slot.provider ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace oriel
