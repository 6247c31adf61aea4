// The list's rows, built in two steps: the first screenful before the window
// is shown, the rest in short idle batches after its first frame, so the
// launcher opens in the same time whatever the catalogue's size.
#pragma once

#include "lumenpad/app_entry.hpp"

#include <gtk/gtk.h>

#include <vector>

namespace lumenpad {

// Appends the rows of the first screenful (every row when the catalogue fits
// in it), and schedules the rest for after the list's first frame. The list
// owns the build; `entries` must outlive the list.
void start_row_build(GtkListBox* list, const std::vector<AppEntry>& entries);

// Appends every row still to come, at once: whatever reads or changes the
// list as a whole calls it first. Nothing happens once the build is complete.
void finish_row_build(GtkListBox* list);

// Whether rows are still to come.
bool row_build_pending(GtkListBox* list);

}  // namespace lumenpad
