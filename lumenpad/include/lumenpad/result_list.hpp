// The list's model: the entries the current query shows, in the order shown.
// Its items are the list's places, not the entries: an edit that reorders
// the entries leaves every place and its row widget where they are, and the
// rows show the entries at their places again, so no widget is made or
// destroyed for it.
#pragma once

#include <gio/gio.h>

#include <cstddef>
#include <cstdint>
#include <vector>

G_BEGIN_DECLS

#define LUMENPAD_TYPE_RESULT_PLACE (lumenpad_result_place_get_type())
G_DECLARE_FINAL_TYPE(LumenpadResultPlace, lumenpad_result_place, LUMENPAD, RESULT_PLACE, GObject)

#define LUMENPAD_TYPE_RESULT_LIST (lumenpad_result_list_get_type())
G_DECLARE_FINAL_TYPE(LumenpadResultList, lumenpad_result_list, LUMENPAD, RESULT_LIST, GObject)

G_END_DECLS

namespace lumenpad {

// A new list of every entry of a catalogue of `size`, in the initial order.
LumenpadResultList* result_list_new(std::size_t size);

// Shows the entries at `order` (indices into the catalogue) instead. Views
// hear of the places added or removed at the end; the entries at the places
// before that may have changed. Returns the first place whose entry did.
std::size_t set_result_order(LumenpadResultList* list, std::vector<std::uint32_t> order);

// The catalogue index of the entry at `position`, or nothing past the end.
const std::uint32_t* result_at(LumenpadResultList* list, std::size_t position);

}  // namespace lumenpad
