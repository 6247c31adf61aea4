// Shared scaffolding of the theme library's widget tests: GTK on the test
// compositor, a private environment per test, waiting on the main loop, and
// probes of what GTK made of the loaded CSS.
#pragma once

#include "oriel-theme/theme.hpp"

#include "oriel-theme/css_compat.hpp"
#include "lumenpad-test/main_loop.hpp"
#include "lumenpad-test/scoped_env.hpp"
#include "lumenpad-test/temp_dir.hpp"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <filesystem>
#include <string>

namespace oriel::testing {

using lumenpad::test::drain_main_loop;
using lumenpad::test::wait_until;

// How GTK itself serialises the rules of `css`, for comparing provider
// contents without depending on formatting.
inline std::string serialised(const std::string& css) {
    const auto provider = lumenpad::adopt(gtk_css_provider_new());
    load_css_text(provider.get(), css);
    const lumenpad::GCharPtr text(gtk_css_provider_to_string(provider.get()));
    return text.get();
}

inline std::string contents(const ProviderSlot& slot) {
    if (!slot.provider) {
        return "<no provider>";
    }
    const lumenpad::GCharPtr text(gtk_css_provider_to_string(slot.provider.get()));
    return text.get();
}

// The colour GTK computes for a fresh label carrying `css_class`.
inline std::string label_colour(const char* css_class) {
    const auto label = lumenpad::adopt(GTK_WIDGET(g_object_ref_sink(gtk_label_new("probe"))));
    gtk_widget_add_css_class(label.get(), css_class);
    GdkRGBA colour{};
#if GTK_CHECK_VERSION(4, 10, 0)
    gtk_widget_get_color(label.get(), &colour);
#else
    gtk_style_context_get_color(gtk_widget_get_style_context(label.get()), &colour);
#endif
    const lumenpad::GCharPtr text(gdk_rgba_to_string(&colour));
    return text.get();
}

// GTK on the compositor the harness provides, and HOME, the XDG directories
// and the runtime directory (hence the theme file) inside a private
// directory. The library's state (providers, watchers, callback) doesn't
// outlive a test.
class GtkTest : public ::testing::Test {
protected:
    void SetUp() override {
        static const bool initialised = gtk_init_check();
        ASSERT_TRUE(initialised) << "no Wayland display: run this test inside the compositor harness";
        env.set("HOME", dir / "home");
        env.set("XDG_CACHE_HOME", dir / "cache");
        env.set("XDG_CONFIG_HOME", dir / "config");
        env.set("XDG_RUNTIME_DIR", dir / "run");
        std::filesystem::create_directories(dir / "run");
    }

    void TearDown() override {
        end_theme_state();
        drain_main_loop();
    }

    std::string theme_file() const { return dir / "run/oriel/theme.css"; }

    lumenpad::test::TempDir dir;
    lumenpad::test::ScopedEnv env;
};

}  // namespace oriel::testing
