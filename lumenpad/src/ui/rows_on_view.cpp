#include "lumenpad/rows_on_view.hpp"

#include "lumenpad-shared/gobject_ptr.hpp"

#include <algorithm>
#include <vector>

namespace lumenpad {

namespace {

// Rows this far above and below the view are painted as well.
constexpr double view_margin = 64.0;

struct RowsOnView {
    GtkListBox* list;
    GObjectPtr<GdkSurface> surface;
    gulong layout = 0;
    // The rows painted now, in list order (rows leave the list only with it).
    std::vector<GtkWidget*> painted;
};

GQuark view_quark() {
    static const GQuark quark = g_quark_from_static_string("lumenpad-rows-on-view");
    return quark;
}

RowsOnView* find_view(GtkWidget* list) {
    return static_cast<RowsOnView*>(g_object_get_qdata(G_OBJECT(list), view_quark()));
}

void set_painted(GtkWidget* row, bool painted) {
    gtk_widget_set_opacity(row, painted ? 1.0 : 0.0);
}

// Runs after GTK's own layout of the frame, so the rows' allocations and the
// view's position are those the frame paints.
void on_layout(GdkSurface*, int, int, gpointer data) {
    auto& view = *static_cast<RowsOnView*>(data);
    GtkAdjustment* adjustment = gtk_list_box_get_adjustment(view.list);
    if (adjustment == nullptr) {
        return;
    }
    const double top = gtk_adjustment_get_value(adjustment) - view_margin;
    const double bottom =
        gtk_adjustment_get_value(adjustment) + gtk_adjustment_get_page_size(adjustment) + view_margin;

    // Rows lie top to bottom in the order of the list's children; hidden ones
    // take no room and are not drawn anyway.
    std::vector<GtkWidget*> now;
    for (GtkWidget* row = gtk_widget_get_first_child(GTK_WIDGET(view.list)); row != nullptr;
         row = gtk_widget_get_next_sibling(row)) {
        if (!gtk_widget_get_mapped(row)) {
            continue;
        }
        GtkAllocation allocation;
        gtk_widget_get_allocation(row, &allocation);
        if (allocation.y >= bottom) {
            break;
        }
        if (allocation.y + allocation.height > top) {
            now.push_back(row);
        }
    }
    for (GtkWidget* row : view.painted) {
        if (std::find(now.begin(), now.end(), row) == now.end()) {
            set_painted(row, false);
        }
    }
    for (GtkWidget* row : now) {
        set_painted(row, true);
    }
    view.painted = std::move(now);
}

void stop_watching(RowsOnView& view) {
    if (view.surface) {
        g_signal_handler_disconnect(view.surface.get(), view.layout);
        view.surface.reset();
    }
}

void on_realize(GtkWidget* list, gpointer) {
    RowsOnView* view = find_view(list);
    if (view == nullptr || view->surface) {
        return;
    }
    view->surface = retain(gtk_native_get_surface(gtk_widget_get_native(list)));
    view->layout = g_signal_connect_after(view->surface.get(), "layout", G_CALLBACK(on_layout), view);
}

void on_unrealize(GtkWidget* list, gpointer) {
    if (RowsOnView* view = find_view(list)) {
        stop_watching(*view);
    }
}

void on_destroy(GtkWidget* list, gpointer) {
    if (RowsOnView* view = find_view(list)) {
        stop_watching(*view);
        g_object_set_qdata(G_OBJECT(list), view_quark(), nullptr);
        delete view;
    }
}

}  // namespace

void paint_rows_on_view_only(GtkListBox* list) {
    g_object_set_qdata(G_OBJECT(list), view_quark(), new RowsOnView{list, {}, 0, {}});
    // The handlers go with the list and find the state through it.
    g_signal_connect(list, "realize", G_CALLBACK(on_realize), nullptr);
    g_signal_connect(list, "unrealize", G_CALLBACK(on_unrealize), nullptr);
    g_signal_connect(list, "destroy", G_CALLBACK(on_destroy), nullptr);
}

void start_unpainted(GtkWidget* row) {
    set_painted(row, false);
}

}  // namespace lumenpad
