// Loading CSS text into a provider across GTK versions: 4.12 brought
// gtk_css_provider_load_from_string and deprecated the older call.
#pragma once

#include <gtk/gtk.h>

#include <string>
#include <string_view>

namespace oriel {

inline void load_css_text(GtkCssProvider* provider, std::string_view css) {
#if GTK_CHECK_VERSION(4, 12, 0)
    gtk_css_provider_load_from_string(provider, std::string(css).c_str());
#else
    gtk_css_provider_load_from_data(provider, css.data(), static_cast<gssize>(css.size()));
#endif
}

}  // namespace oriel
