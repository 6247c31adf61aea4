// The straightforward GTK 4 launcher that bench/startup compares lumenpad
// with: the same layer-shell overlay and column, a search entry above a list
// box with one row (icon and name) per installed application, a filter that
// keeps the rows whose name contains the typed text, no ranking. Escape ends
// it.
#include "lumenpad-shared/text.hpp"
#include "lumenpad/catalogue.hpp"

#include "plain_panel.hpp"

#include <string>
#include <vector>

namespace {

struct Filter {
    GtkEditable* field;
    std::vector<std::string> lowered_names;
};

gboolean keep_row(GtkListBoxRow* row, gpointer data) {
    const auto* filter = static_cast<const Filter*>(data);
    const std::string query = lumenpad::lower(gtk_editable_get_text(filter->field));
    const auto index = static_cast<std::size_t>(gtk_list_box_row_get_index(row));
    return filter->lowered_names[index].find(query) != std::string::npos;
}

}  // namespace

int main() {
    const std::vector<lumenpad::AppEntry> entries = lumenpad::scan_applications();
    gtk_init();

    GtkWidget* field = gtk_search_entry_new();
    GtkWidget* list = gtk_list_box_new();
    auto* filter = new Filter{GTK_EDITABLE(field), {}};
    for (const auto& entry : entries) {
        GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 8);
        GtkWidget* icon = gtk_image_new_from_icon_name(entry.icon.empty() ? "application-x-executable"
                                                                          : entry.icon.c_str());
        gtk_image_set_pixel_size(GTK_IMAGE(icon), 32);
        gtk_box_append(GTK_BOX(row), icon);
        gtk_box_append(GTK_BOX(row), gtk_label_new(entry.name.c_str()));
        gtk_list_box_append(GTK_LIST_BOX(list), row);
        filter->lowered_names.push_back(lumenpad::lower(entry.name));
    }
    gtk_list_box_set_filter_func(GTK_LIST_BOX(list), keep_row, filter, nullptr);
    g_signal_connect_swapped(field, "changed", G_CALLBACK(gtk_list_box_invalidate_filter), list);

    bench::run_panel("lumenpad-bench-plain-list", list, field);
    delete filter;
    return 0;
}
