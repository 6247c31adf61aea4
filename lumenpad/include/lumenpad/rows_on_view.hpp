// Paints only the list's rows on view. GTK's Cairo renderer draws every node
// of a frame, those clipped away included, so each frame would otherwise cost
// as much as the whole catalogue; rows out of view are left fully
// transparent, which GTK leaves out of its frames, and painted again once
// they are on view.
#pragma once

#include <gtk/gtk.h>

namespace lumenpad {

// Keeps the rows of `list` out of every frame while they are out of view;
// the list owns what this sets up.
void paint_rows_on_view_only(GtkListBox* list);

// A row added to such a list starts unpainted; the next layout paints it if
// it is on view.
void start_unpainted(GtkWidget* row);

}  // namespace lumenpad
