// The resident launcher's one window: built ahead and kept hidden, shown
// fresh on each toggle, hidden again by whatever closes a cold launcher's
// window. While hidden it draws nothing and wakes for nothing.
#pragma once

#include "lumenpad/config.hpp"
#include "lumenpad/inputs.hpp"
#include "lumenpad/resident_socket.hpp"
#include "lumenpad/window.hpp"

#include <gtk/gtk.h>

struct wl_keyboard;

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace lumenpad {

// GTK before 4.12 tears a window's EGL surface down at each hide and makes
// another at the next show. The teardown fails (eglDestroySurface is refused)
// and the stale surface keeps its claim on the address of the native window
// it was made for; once the allocator hands that address to a later show's
// native window, the new EGL surface is refused too, the frame GTK has asked
// the compositor to time is never committed, and the window stays blank.
// The resident window, hidden and shown again for as long as the daemon
// runs, is drawn with Cairo there unless GSK_RENDERER chooses; called before
// the window is built, while no other thread runs.
void choose_resident_renderer();

class ResidentWindow {
public:
    // Answers a client once its toggle is done; false when the client has gone.
    using Reply = std::function<bool(ResidentAnswer)>;

    // Builds the window over `inputs`, hidden. Launches from a show that no
    // client asked for run with `own_environment`: the daemon's as it began.
    ResidentWindow(GtkApplication* application, Inputs inputs, std::vector<std::string> own_environment);
    // Destroys the window.
    ~ResidentWindow();
    ResidentWindow(const ResidentWindow&) = delete;
    ResidentWindow& operator=(const ResidentWindow&) = delete;

    // Shows the window, whose launches then run with the request's
    // environment and directory, and answers once it has the keyboard; or
    // hides it and answers. When the shown answer finds the client gone the
    // window hides again.
    void toggle(ResidentRequest request, Reply reply);
    // Shows the window for an activation over the session bus: its launches
    // run with the daemon's own environment and directory.
    void show();
    void hide();
    bool shown() const { return shown_; }

    // A catalogue gathered again: it replaces the window's own at once when
    // hidden, else at the next hide. The launch counts stay the daemon's.
    void replace_inputs(Inputs inputs);

    // The window as built (the widget tests drive it); rebuilt by
    // replace_inputs.
    const LauncherWindow& window() const { return built_; }
    const std::shared_ptr<LauncherState>& state() const { return data_.state; }

    // The compositor gave `surface` (a wl_surface) the keyboard.
    void on_keyboard_entered(const void* surface);

private:
    void build(Inputs inputs);
    void destroy();
    void present(std::optional<ResidentRequest> request);
    // The list back at the initial order of this moment, its first row
    // selected, the field empty.
    void start_fresh();

    GtkApplication* application_;
    std::vector<std::string> own_environment_;
    ActivationData data_;
    LauncherWindow built_{};
    Config config_;
    // The lowered priority terms of the context the initial order is for.
    std::vector<std::string> priority_;
    bool shown_ = false;
    // The toggle that showed the window, answered once it has the keyboard.
    Reply pending_reply_;
    // The seat's keyboard, heard directly: GTK 4.8 destroys a hidden
    // window's surface and keeps it "active" until it hears of the keyboard
    // leaving, which may come before or after the next show. Made once the
    // seat has a keyboard.
    struct wl_keyboard* keyboard_ = nullptr;
    std::optional<Inputs> next_inputs_;
};

}  // namespace lumenpad
