#include "lumenpad/caret_blink.hpp"

#include "lumenpad-shared/gobject_ptr.hpp"
#include "oriel-theme/css_compat.hpp"

namespace lumenpad {

namespace {

constexpr const char* hidden_class = "lumenpad-caret-hidden";

struct CaretBlink {
    GtkWidget* text;
    guint half_period_ms;
    gint64 timeout_us;
    gint64 started = 0;
    guint timer = 0;
};

void show_caret(CaretBlink& blink, bool shown) {
    if (shown) {
        gtk_widget_remove_css_class(blink.text, hidden_class);
    } else {
        gtk_widget_add_css_class(blink.text, hidden_class);
    }
}

void stop(CaretBlink& blink) {
    if (blink.timer != 0) {
        g_source_remove(blink.timer);
        blink.timer = 0;
    }
    show_caret(blink, true);
}

gboolean on_tick(gpointer data) {
    auto& blink = *static_cast<CaretBlink*>(data);
    // Blinking ends after a while without input, with the caret shown.
    if (g_get_monotonic_time() - blink.started > blink.timeout_us) {
        blink.timer = 0;
        show_caret(blink, true);
        return G_SOURCE_REMOVE;
    }
    show_caret(blink, gtk_widget_has_css_class(blink.text, hidden_class));
    return G_SOURCE_CONTINUE;
}

// Shown at once and for a whole half period after each edit or move, as
// GTK's own caret does.
void restart(CaretBlink& blink) {
    stop(blink);
    blink.started = g_get_monotonic_time();
    blink.timer = g_timeout_add(blink.half_period_ms, on_tick, &blink);
}

void on_map(GtkWidget*, gpointer data) {
    restart(*static_cast<CaretBlink*>(data));
}

void on_unmap(GtkWidget*, gpointer data) {
    stop(*static_cast<CaretBlink*>(data));
}

void on_input(GObject*, GParamSpec*, gpointer data) {
    auto& blink = *static_cast<CaretBlink*>(data);
    if (gtk_widget_get_mapped(blink.text)) {
        restart(blink);
    }
}

void on_destroy(GtkWidget*, gpointer data) {
    auto* blink = static_cast<CaretBlink*>(data);
    stop(*blink);
    delete blink;
}

// Set on the settings once GTK's own blinking is turned off in their favour.
GQuark taken_over_quark() {
    static const GQuark quark = g_quark_from_static_string("lumenpad-caret-blink");
    return quark;
}

void add_hidden_caret_style(GdkDisplay* display) {
    const auto provider = adopt(gtk_css_provider_new());
    oriel::load_css_text(provider.get(), "text.lumenpad-caret-hidden { caret-color: transparent; }");
    // Above the user's stylesheet, which may colour the caret; the display
    // keeps the provider.
    gtk_style_context_add_provider_for_display(display, GTK_STYLE_PROVIDER(provider.get()),
                                               GTK_STYLE_PROVIDER_PRIORITY_USER + 1);
}

}  // namespace

void blink_caret(GtkEditable* field) {
    GtkSettings* settings = gtk_widget_get_settings(GTK_WIDGET(field));
    gboolean blinks = FALSE;
    int time_ms = 0;
    int timeout_s = 0;
    g_object_get(settings, "gtk-cursor-blink", &blinks, "gtk-cursor-blink-time", &time_ms,
                 "gtk-cursor-blink-timeout", &timeout_s, nullptr);
    if (g_object_get_qdata(G_OBJECT(settings), taken_over_quark()) == nullptr) {
        if (!blinks || time_ms <= 0) {
            return;
        }
        g_object_set(settings, "gtk-cursor-blink", FALSE, nullptr);
        g_object_set_qdata(G_OBJECT(settings), taken_over_quark(), settings);
        add_hidden_caret_style(gtk_widget_get_display(GTK_WIDGET(field)));
    }

    GtkWidget* text = GTK_WIDGET(gtk_editable_get_delegate(field));
    auto* blink = new CaretBlink{text, static_cast<guint>(time_ms / 2),
                                 static_cast<gint64>(timeout_s) * G_USEC_PER_SEC};
    // The handlers go with the text widget; its "destroy" ends the blinking
    // and frees the state.
    g_signal_connect(text, "map", G_CALLBACK(on_map), blink);
    g_signal_connect(text, "unmap", G_CALLBACK(on_unmap), blink);
    g_signal_connect(text, "notify::text", G_CALLBACK(on_input), blink);
    g_signal_connect(text, "notify::cursor-position", G_CALLBACK(on_input), blink);
    g_signal_connect(text, "destroy", G_CALLBACK(on_destroy), blink);
}

}  // namespace lumenpad
