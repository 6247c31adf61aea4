// Scrolling a list view to a row across GTK versions: 4.12 brought
// gtk_list_view_scroll_to; before it the list's own action does the same.
#pragma once

#include <gtk/gtk.h>

namespace lumenpad {

// Scrolls as little as keeps the row at `position` on view.
inline void scroll_list_to(GtkListView* list, guint position) {
#if GTK_CHECK_VERSION(4, 12, 0)
    gtk_list_view_scroll_to(list, position, GTK_LIST_SCROLL_NONE, nullptr);
#else
    gtk_widget_activate_action(GTK_WIDGET(list), "list.scroll-to-item", "u", position);
#endif
}

}  // namespace lumenpad
