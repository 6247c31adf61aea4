#include "lumenpad/activation.hpp"

#include "lumenpad-shared/gobject_ptr.hpp"

#include <gtk/gtk.h>

namespace lumenpad {

std::optional<std::string> activation_token(const AppEntry& entry) {
    GdkDisplay* display = gdk_display_get_default();
    if (display == nullptr) {
        return std::nullopt;
    }
    const auto context = adopt(gdk_display_get_app_launch_context(display));
    // The application the token is for, as GIO's launcher names it; GDK's
    // Wayland backend asks for the token whatever it holds.
    GErrorOut error;
    const auto info = adopt(g_app_info_create_from_commandline(entry.exec.c_str(), entry.name.c_str(),
                                                               G_APP_INFO_CREATE_NONE, error.out()));
    if (!info) {
        return std::nullopt;
    }
    const GCharPtr id(
        g_app_launch_context_get_startup_notify_id(G_APP_LAUNCH_CONTEXT(context.get()), info.get(), nullptr));
    if (id == nullptr || *id == '\0') {
        return std::nullopt;
    }
    return std::string(id.get());
}

}  // namespace lumenpad
