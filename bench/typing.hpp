// Edits a field the way one keystroke does: a single insertion or deletion at
// its end, so the field reports one change, as it does for a typed character.
// (gtk_editable_set_text reports two: the old text deleted, the new inserted.)
#pragma once

#include <gtk/gtk.h>

#include <cstring>
#include <string_view>

namespace lumenpad::test {

inline void type_step(GtkEditable* field, const char* text) {
    const std::string_view now = gtk_editable_get_text(field);
    const std::string_view next = text;
    if (next.size() == now.size() + 1 && next.starts_with(now)) {
        int position = static_cast<int>(now.size());
        gtk_editable_insert_text(field, text + now.size(), 1, &position);
    } else if (now.size() == next.size() + 1 && now.starts_with(next)) {
        gtk_editable_delete_text(field, static_cast<int>(next.size()), -1);
    } else {
        gtk_editable_set_text(field, text);
    }
}

}  // namespace lumenpad::test
