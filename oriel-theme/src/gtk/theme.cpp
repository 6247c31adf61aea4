#include "oriel-theme/theme.hpp"

#include "oriel-theme/css_compat.hpp"
#include "oriel-theme/palette.hpp"
#include "oriel-theme/stylesheet.hpp"
#include "oriel-theme/stylesheet_file.hpp"

#include "lumenpad-shared/owned_signal.hpp"
#include "lumenpad-shared/paths.hpp"

#include <optional>

namespace oriel {

namespace {

// Holds a slot for one load; refused when the slot is already held.
class SlotClaim {
public:
    explicit SlotClaim(ProviderSlot& slot) : slot_(slot), claimed_(!slot.in_use) { slot_.in_use = true; }
    SlotClaim(const SlotClaim&) = delete;
    SlotClaim& operator=(const SlotClaim&) = delete;
    ~SlotClaim() {
        if (claimed_) {
            slot_.in_use = false;
        }
    }

    explicit operator bool() const { return claimed_; }

private:
    ProviderSlot& slot_;
    bool claimed_;
};

// Reuses the slot's provider, which stays attached to the display, or
// attaches a new one.
void load_into_claimed(ProviderSlot& slot, GdkDisplay* display, std::string_view css, guint priority) {
    if (slot.provider) {
        load_css_text(slot.provider.get(), css);
        return;
    }
    auto provider = lumenpad::adopt(gtk_css_provider_new());
    load_css_text(provider.get(), css);
    gtk_style_context_add_provider_for_display(display, GTK_STYLE_PROVIDER(provider.get()), priority);
    slot.display = lumenpad::retain(display);
    slot.provider = std::move(provider);
}

void detach(ProviderSlot& slot) {
    if (slot.provider && slot.display) {
        gtk_style_context_remove_provider_for_display(slot.display.get(),
                                                      GTK_STYLE_PROVIDER(slot.provider.get()));
    }
    slot.provider.reset();
    slot.display.reset();
}

struct WatchData {
    std::string theme_path;
    void (*callback)();
};

bool names_theme_file(GFile* file, const std::string& theme_path) {
    if (file == nullptr) {
        return false;
    }
    const lumenpad::GCharPtr path(g_file_get_path(file));
    return path && lumenpad::same_path(path.get(), theme_path);
}

// Every kind of event counts, moves included: editors save by writing a
// temporary file and renaming it onto the theme file.
void on_theme_dir_changed(GFileMonitor*, GFile* file, GFile* other_file, GFileMonitorEvent, WatchData* data) {
    if (names_theme_file(file, data->theme_path) || names_theme_file(other_file, data->theme_path)) {
        data->callback();
    }
}

// Disconnecting first: GIO may still hold the monitor, and an event it
// delivers later must not reach a torn-down state.
void release(MonitorSlot& slot) {
    if (!slot.monitor) {
        return;
    }
    g_signal_handlers_disconnect_matched(slot.monitor.get(), G_SIGNAL_MATCH_FUNC, 0, 0, nullptr,
                                         reinterpret_cast<gpointer>(on_theme_dir_changed), nullptr);
    g_file_monitor_cancel(slot.monitor.get());
    slot.monitor.reset();
}

// The monitors' callbacks: a reload has no caller to report to, and without
// a display there is nothing to restyle.
void reload_shared_stylesheet() {
    apply_shared_stylesheet();
}

void reload_extra_stylesheet() {
    apply_extra_stylesheet();
}

void watch_once(MonitorSlot& slot, void (*callback)()) {
    if (!slot.monitor) {
        slot.monitor = watch_theme_file(callback);
    }
}

thread_local std::optional<ThemeState> thread_state;

}  // namespace

ThemeState::~ThemeState() {
    release(extra_monitor);
    release(theme_monitor);
    extra_stylesheet = nullptr;
    detach(extra);
    detach(shared);
}

ThemeState& theme_state() {
    if (!thread_state) {
        thread_state.emplace();
    }
    return *thread_state;
}

void end_theme_state() {
    thread_state.reset();
}

ThemeResult load_css_into_slot(std::string_view css, ProviderSlot& slot) {
    GdkDisplay* display = gdk_display_get_default();
    if (display == nullptr) {
        return ThemeResult::no_display;
    }
    if (const SlotClaim claim(slot); claim) {
        load_into_claimed(slot, display, css, GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    }
    return ThemeResult::done;
}

ThemeResult apply_user_stylesheet(const std::string& path, ProviderSlot& slot) {
    GdkDisplay* display = gdk_display_get_default();
    if (display == nullptr) {
        return ThemeResult::no_display;
    }
    const SlotClaim claim(slot);
    if (!claim) {
        return ThemeResult::done;
    }
    if (const auto css = read_stylesheet_file(path)) {
        load_into_claimed(slot, display, *css, GTK_STYLE_PROVIDER_PRIORITY_USER);
    } else if (slot.provider) {
        load_css_text(slot.provider.get(), "");
    }
    return ThemeResult::done;
}

ThemeResult apply_shared_stylesheet() {
    const auto text = read_stylesheet_file(theme_file_path());
    return load_css_into_slot(text ? *text : generate_stylesheet(load_palette()), theme_state().shared);
}

ThemeResult apply_theme() {
    const ThemeResult result = apply_shared_stylesheet();
    if (result == ThemeResult::done) {
        watch_once(theme_state().theme_monitor, reload_shared_stylesheet);
    }
    return result;
}

void set_extra_stylesheet(std::function<std::string()> build) {
    theme_state().extra_stylesheet = std::move(build);
}

ThemeResult apply_extra_stylesheet() {
    ThemeState& state = theme_state();
    if (!state.extra_stylesheet) {
        return ThemeResult::done;
    }
    // A copy: a builder that registers another one must not destroy itself
    // while it runs.
    const auto build = state.extra_stylesheet;
    return load_css_into_slot(build(), state.extra);
}

void watch_extra_stylesheet() {
    watch_once(theme_state().extra_monitor, reload_extra_stylesheet);
}

lumenpad::GObjectPtr<GFileMonitor> watch_theme_file(void (*callback)()) {
    // GIO reports absolute, canonical paths; resolving the theme path the
    // same way lets a relative base or ".." components still match.
    const auto theme_file = lumenpad::adopt(g_file_new_for_path(theme_file_path().c_str()));
    const auto dir = lumenpad::adopt(g_file_get_parent(theme_file.get()));
    if (!dir) {
        return {};
    }
    if (const lumenpad::GCharPtr dir_path(g_file_get_path(dir.get())); dir_path) {
        g_mkdir_with_parents(dir_path.get(), 0777);
    }
    lumenpad::GErrorOut error;
    auto monitor = lumenpad::adopt(
        g_file_monitor_directory(dir.get(), G_FILE_MONITOR_WATCH_MOVES, nullptr, error.out()));
    const lumenpad::GCharPtr theme_path(g_file_get_path(theme_file.get()));
    if (error || !monitor || !theme_path) {
        return {};
    }
    lumenpad::connect_owned(monitor.get(), "changed", on_theme_dir_changed,
                            new WatchData{theme_path.get(), callback});
    return monitor;
}

}  // namespace oriel
