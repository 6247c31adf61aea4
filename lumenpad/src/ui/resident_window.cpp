#include "lumenpad/resident_window.hpp"

#include "lumenpad-shared/text.hpp"
#include "lumenpad/hyprland.hpp"
#include "lumenpad/ordering.hpp"
#include "lumenpad/search.hpp"

#include <gdk/wayland/gdkwayland.h>
#include <unistd.h>
#include <wayland-client.h>

#include <future>
#include <utility>

namespace lumenpad {

namespace {

// The lowered priority terms of the context the active workspace selects.
std::vector<std::string> active_priority(const Config& config) {
    std::vector<std::string> lowered;
    if (const Context* context = select_context(config, query_active_workspace().value_or(""))) {
        for (const auto& term : context->priority) {
            lowered.push_back(lower(term));
        }
    }
    return lowered;
}

// A child the daemon launched is its own to reap: none is left a zombie
// once it ends.
void reap_when_done(pid_t pid) {
    g_child_watch_add(
        pid, [](GPid child, gint, gpointer) { g_spawn_close_pid(child); }, nullptr);
}

// Only the keyboard's entering matters; the keymap's descriptor is ours to
// close.
const wl_keyboard_listener keyboard_listener = {
    [](void*, wl_keyboard*, uint32_t, int32_t fd, uint32_t) { close(fd); },
    [](void* self, wl_keyboard*, uint32_t, wl_surface* surface, wl_array*) {
        static_cast<ResidentWindow*>(self)->on_keyboard_entered(surface);
    },
    [](void*, wl_keyboard*, uint32_t, wl_surface*) {},
    [](void*, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t) {},
    [](void*, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) {},
    [](void*, wl_keyboard*, int32_t, int32_t) {},
};

}  // namespace

void choose_resident_renderer() {
#if !GTK_CHECK_VERSION(4, 12, 0)
    g_setenv("GSK_RENDERER", "cairo", FALSE);
#endif
}

ResidentWindow::ResidentWindow(GtkApplication* application, Inputs inputs,
                               std::vector<std::string> own_environment)
    : application_(application), own_environment_(std::move(own_environment)) {
    build(std::move(inputs));
}

ResidentWindow::~ResidentWindow() {
    destroy();
    if (keyboard_ != nullptr) {
        if (wl_keyboard_get_version(keyboard_) >= WL_KEYBOARD_RELEASE_SINCE_VERSION) {
            wl_keyboard_release(keyboard_);
        } else {
            wl_keyboard_destroy(keyboard_);
        }
    }
}

void ResidentWindow::build(Inputs inputs) {
    config_ = inputs.config;
    auto state = std::make_shared<LauncherState>();
    // The counts are the daemon's own from its first catalogue on: it has
    // written history.json since, and never reads it again.
    if (data_.state) {
        inputs.history = data_.state->history;
    }
    state->adopt_child = reap_when_done;
    std::promise<Inputs> gathered;
    gathered.set_value(std::move(inputs));
    data_ = ActivationData{std::move(state), gathered.get_future()};
    built_ = build_window(application_, data_, [this](GtkWindow*) { hide(); });
    // Its surface and renderer now, not at the first show.
    gtk_widget_realize(GTK_WIDGET(built_.window));
    priority_ = active_priority(config_);
    start_fresh();
}

void ResidentWindow::destroy() {
    if (built_.window != nullptr) {
        gtk_window_destroy(built_.window);
        built_ = {};
    }
}

void ResidentWindow::start_fresh() {
    LauncherState& state = *data_.state;
    if (state.keys_to_come.pending()) {
        state.keys = state.keys_to_come.take();
    }
    state.initial_order = initial_order(state.entries, state.keys, priority_, state.history);
    // An edit brings the list to the query's order, which for the empty
    // query is the initial order just computed; with the field already empty
    // there is no edit, and the same handler runs here.
    if (*gtk_editable_get_text(built_.field) != '\0') {
        gtk_editable_set_text(built_.field, "");
    } else {
        ListData data{data_.state,      built_.close_launcher, built_.results,
                      built_.selection, built_.list,           built_.rows};
        filter_rows(built_.field, &data);
    }
    gtk_adjustment_set_value(gtk_scrollable_get_vadjustment(GTK_SCROLLABLE(built_.list)), 0);
}

void ResidentWindow::toggle(ResidentRequest request, Reply reply) {
    if (shown_) {
        hide();
        reply(ResidentAnswer::hidden);
        return;
    }
    // Asked of the seat only once it has a keyboard: asking one that never
    // had one is an error.
    GdkDisplay* display = gtk_widget_get_display(GTK_WIDGET(built_.window));
    GdkSeat* seat = gdk_display_get_default_seat(display);
    if (keyboard_ == nullptr && GDK_IS_WAYLAND_DISPLAY(display) && seat != nullptr &&
        (gdk_seat_get_capabilities(seat) & GDK_SEAT_CAPABILITY_KEYBOARD) != 0) {
        keyboard_ = wl_seat_get_keyboard(gdk_wayland_seat_get_wl_seat(seat));
        wl_keyboard_add_listener(keyboard_, &keyboard_listener, this);
    }
    pending_reply_ = std::move(reply);
    present(std::move(request));
}

void ResidentWindow::show() {
    if (!shown_) {
        present(std::nullopt);
    }
}

void ResidentWindow::present(std::optional<ResidentRequest> request) {
    LauncherState& state = *data_.state;
    if (request) {
        state.launch_environment = std::move(request->environment);
        state.launch_directory = std::move(request->directory);
    } else {
        state.launch_environment = own_environment_;
        state.launch_directory.reset();
    }
    // The workspace may have changed since the last show, and with it the
    // context that ranks the initial order.
    if (std::vector<std::string> priority = active_priority(config_); priority != priority_) {
        priority_ = std::move(priority);
        start_fresh();
    }
    shown_ = true;
    gtk_window_present(built_.window);
    gtk_widget_grab_focus(GTK_WIDGET(built_.field));
}

void ResidentWindow::hide() {
    if (!shown_) {
        return;
    }
    shown_ = false;
    gtk_widget_set_visible(GTK_WIDGET(built_.window), FALSE);
    // A toggle still waiting for the keyboard is answered as what it now is.
    if (Reply reply = std::exchange(pending_reply_, nullptr)) {
        reply(ResidentAnswer::hidden);
    }
    if (next_inputs_) {
        Inputs inputs = std::move(*next_inputs_);
        next_inputs_.reset();
        destroy();
        build(std::move(inputs));
        return;
    }
    // Here rather than at the next show, which then only presents.
    start_fresh();
}

void ResidentWindow::replace_inputs(Inputs inputs) {
    if (shown_) {
        next_inputs_ = std::move(inputs);
        return;
    }
    destroy();
    build(std::move(inputs));
}

void ResidentWindow::on_keyboard_entered(const void* surface) {
    GdkSurface* ours = gtk_native_get_surface(GTK_NATIVE(built_.window));
    if (!shown_ || !pending_reply_ || ours == nullptr || surface == nullptr ||
        surface != gdk_wayland_surface_get_wl_surface(ours)) {
        return;
    }
    const Reply reply = std::exchange(pending_reply_, nullptr);
    if (!reply(ResidentAnswer::shown)) {
        hide();
    }
}

}  // namespace lumenpad
