// The list's rows: icon, name and window class. GTK 4.8's list view keeps
// about two hundred row widgets around its view; a row gets its content
// only once it comes near the view, so that a row far from it costs no more
// than GTK's own row widget, which the stylesheet gives the content's height.
#pragma once

#include "lumenpad-shared/gobject_ptr.hpp"
#include "lumenpad/app_entry.hpp"
#include "lumenpad/icon_textures.hpp"
#include "lumenpad/result_list.hpp"

#include <gtk/gtk.h>

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

namespace lumenpad {

// The list's height grows with its rows up to this, then it scrolls.
inline constexpr int list_max_height = 480;

// What the rows show, and which of the list's places are near its view.
struct RowSource {
    const std::vector<AppEntry>* entries;
    // Which entry each place shows.
    LumenpadResultList* results;
    IconTextures* icons;
    // The places on view, or that may be by the next frame; they wait for
    // their icon file's image rather than show the theme icon first.
    guint view_first = 0;
    guint view_last = 0;
    // Rows at these places have their content; others may not yet.
    guint near_first = 0;
    guint near_last = 0;
    // The height of a row's content, which an empty row takes too, and of a
    // whole row, as last laid out.
    int content_height = 0;
    int row_height = 0;
    // Whether rows have icons (the lines of dmenu mode have none).
    bool show_icons = true;
    // Every row the list has, with content or without.
    std::unordered_set<GtkListItem*> rows;
    // Gives empty rows the content's height.
    GObjectPtr<GtkCssProvider> empty_row_style;
};

// The theme icon an entry shows without an image file of its own.
std::string icon_name_for(const AppEntry& entry);

// The factory of the list's rows; `source` must outlive it. Empty rows take
// their height from a provider on `display` that the source owns;
// forget_rows removes it.
GtkListItemFactory* row_factory(RowSource& source, GdkDisplay* display);
void forget_rows(RowSource& source, GdkDisplay* display);

// Gives the rows around place `position` (those a view that shows it can
// hold, and as many again above and below) their content. Called before a
// change brings `position` on view; the rows are then complete when drawn.
void fill_rows_near(GtkListView* list, RowSource& source, guint position);

// The same for the rows about what the list's adjustment shows now.
void fill_rows_on_view(GtkListView* list, RowSource& source);

// Shows at the rows from place `first` on the entries now at their places.
void show_entries_again(RowSource& source, guint first);

// Gives the rows that still wait for their icon file's image that image,
// where it has been decoded since.
void refresh_row_icons(const RowSource& source);

// The place of the row at (x, y) in the list's coordinates, if any.
std::optional<guint> row_position_at(GtkListView* list, double x, double y);

}  // namespace lumenpad
