#include "lumenpad/search.hpp"

#include "lumenpad-shared/text.hpp"
#include "lumenpad/launch.hpp"
#include "lumenpad/ordering.hpp"
#include "lumenpad/row_builder.hpp"
#include "lumenpad/rows.hpp"

#include <algorithm>
#include <limits>
#include <unordered_map>
#include <vector>

namespace lumenpad {

namespace {

// The row's sort tier and launch count, computed once per edit rather than at
// every comparison; neither changes while the list is being sorted.
const RowEntry& refresh_sort_keys(RowEntry& row, const LauncherState& state) {
    if (row.tier_generation != state.query_generation) {
        row.tier = sort_tier(state.lowered_query, row.keys);
        row.launch_count = launch_count(state.history, row.entry.name);
        row.tier_generation = state.query_generation;
    }
    return row;
}

// Keeps a newly selected row (if any) inside the scrolled window's view.
void scroll_to_row(GtkListBox* list, GtkListBoxRow* row) {
    GtkAdjustment* adjustment = gtk_list_box_get_adjustment(list);
    graphene_rect_t bounds;
    if (row == nullptr || adjustment == nullptr ||
        !gtk_widget_compute_bounds(GTK_WIDGET(row), GTK_WIDGET(list), &bounds)) {
        return;
    }
    const double top = bounds.origin.y;
    const double bottom = top + bounds.size.height;
    const double value = gtk_adjustment_get_value(adjustment);
    const double page = gtk_adjustment_get_page_size(adjustment);
    if (top < value) {
        gtk_adjustment_set_value(adjustment, top);
    } else if (bottom > value + page) {
        gtk_adjustment_set_value(adjustment, bottom - page);
    }
}

// While an edit re-sorts the list, the places it compares, by row: the sort
// compares each row about log2(n) times, and this is cheaper to look up than
// the row's data.
using PlaceTable = std::unordered_map<const GtkListBoxRow*, std::uint32_t>;
const PlaceTable* sorting_places = nullptr;

std::uint64_t place_of(GtkListBoxRow* row) {
    constexpr auto last = std::numeric_limits<std::uint64_t>::max();
    if (sorting_places != nullptr) {
        const auto found = sorting_places->find(row);
        return found != sorting_places->end() ? found->second : last;
    }
    const RowEntry* entry = row_data(row);
    return entry != nullptr ? entry->place : last;
}

}  // namespace

GtkListBoxRow* select_first_shown(GtkListBox* list, int from, int step) {
    for (int i = from; i >= 0; i += step) {
        GtkListBoxRow* row = gtk_list_box_get_row_at_index(list, i);
        if (row == nullptr) {
            return nullptr;
        }
        if (row_shown(row)) {
            gtk_list_box_select_row(list, row);
            return row;
        }
    }
    return nullptr;
}

void filter_rows(GtkEditable* field, FilterData* data) {
    // The query applies to every row, those not yet built included.
    finish_row_build(data->list);
    LauncherState& state = *data->state;
    state.current_query = gtk_editable_get_text(field);
    state.lowered_query = lower(state.current_query);
    ++state.query_generation;

    std::vector<GtkListBoxRow*> rows;
    std::vector<RowEntry*> entries;
    std::vector<std::optional<MatchTier>> tiers;
    // The list keeps its child widgets in the order of its rows.
    for (GtkWidget* child = gtk_widget_get_first_child(GTK_WIDGET(data->list)); child != nullptr;
         child = gtk_widget_get_next_sibling(child)) {
        if (!GTK_IS_LIST_BOX_ROW(child)) {
            continue;
        }
        rows.push_back(GTK_LIST_BOX_ROW(child));
        RowEntry* entry = row_data(rows.back());
        entries.push_back(entry);
        tiers.push_back(entry != nullptr
                            ? match_tier(state.current_query, state.lowered_query, entry->entry, entry->keys)
                            : std::nullopt);
    }
    const std::vector<bool> visible = visible_rows(tiers);

    std::vector<std::size_t> shown;
    std::vector<std::size_t> hidden;
    bool visibility_changed = false;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i] == nullptr) {
            continue;
        }
        visibility_changed = visibility_changed || entries[i]->shown != visible[i];
        entries[i]->shown = visible[i];
        (visible[i] ? shown : hidden).push_back(i);
    }

    // The list applies its filter: rows flip one by one, and only those that
    // change are mapped or unmapped. Each pass of the list's own also walks
    // back from every hidden row to the nearest shown one, so it is left out
    // when it would change nothing (more letters after a query that matches
    // nothing, say).
    if (visibility_changed) {
        gtk_list_box_invalidate_filter(data->list);
    }

    // With rows on view the list takes its new order; its sort function only
    // compares the places given here. With nothing shown the order is moot,
    // and the rows keep the places they have in the list.
    if (!shown.empty()) {
        // Sorted from the list's present order, so rows that compare equal
        // keep their places relative to each other.
        std::stable_sort(shown.begin(), shown.end(), [&](std::size_t a, std::size_t b) {
            return compare_rows(*entries[a], *entries[b], state) < 0;
        });
        const std::vector<std::size_t> order = interleave_hidden(shown, hidden);
        bool order_changed = false;
        for (std::size_t place = 0; place < order.size(); ++place) {
            RowEntry& row = *entries[order[place]];
            order_changed = order_changed || row.place != place;
            row.place = static_cast<std::uint32_t>(place);
        }
        if (order_changed) {
            PlaceTable places;
            places.reserve(rows.size());
            for (std::size_t i = 0; i < rows.size(); ++i) {
                if (entries[i] != nullptr) {
                    places.emplace(rows[i], entries[i]->place);
                }
            }
            sorting_places = &places;
            gtk_list_box_invalidate_sort(data->list);
            sorting_places = nullptr;
        }
    }

    // The best row now leads the list; the rows' places on screen are only
    // worked out at the next frame, so scroll to the top rather than to where
    // that row used to be.
    if (select_first_shown(data->list, 0, 1) != nullptr) {
        if (GtkAdjustment* adjustment = gtk_list_box_get_adjustment(data->list)) {
            gtk_adjustment_set_value(adjustment, gtk_adjustment_get_lower(adjustment));
        }
    }
}

int compare_rows(RowEntry& row1, RowEntry& row2, const LauncherState& state) {
    if (state.current_query.empty()) {
        const auto order1 = row1.initial_order;
        const auto order2 = row2.initial_order;
        return order1 < order2 ? -1 : (order1 > order2 ? 1 : 0);
    }
    const RowEntry& r1 = refresh_sort_keys(row1, state);
    const RowEntry& r2 = refresh_sort_keys(row2, state);
    return compare_for_query(r1.tier, r1.launch_count, r1.keys, r2.tier, r2.launch_count, r2.keys);
}

int compare_row_places(GtkListBoxRow* row1, GtkListBoxRow* row2, gpointer) {
    const std::uint64_t place1 = place_of(row1);
    const std::uint64_t place2 = place_of(row2);
    return place1 < place2 ? -1 : (place1 > place2 ? 1 : 0);
}

void activate_entry(const AppEntry& entry, History& history, const CloseLauncher& close_launcher) {
    record_launch(history, entry.name);
    save_history(history);
    launch_entry(entry);
    (*close_launcher)();
}

gboolean on_key_pressed(GtkEventControllerKey*, guint keyval, guint, GdkModifierType, KeyData* data) {
    GtkListBox* list = data->list;
    if (keyval == GDK_KEY_Escape) {
        (*data->close_launcher)();
        return GDK_EVENT_STOP;
    }
    // Every other key acts on the complete list, as if it had been built
    // before the window was shown.
    finish_row_build(list);
    switch (keyval) {
        case GDK_KEY_Return:
        case GDK_KEY_KP_Enter: {
            GtkListBoxRow* selected = gtk_list_box_get_selected_row(list);
            if (selected == nullptr) {
                return GDK_EVENT_STOP;
            }
            if (auto entry = row_entry(selected)) {
                activate_entry(*entry, data->state->history, data->close_launcher);
            }
            return GDK_EVENT_STOP;
        }
        case GDK_KEY_Up:
            if (GtkListBoxRow* selected = gtk_list_box_get_selected_row(list)) {
                scroll_to_row(list, select_first_shown(list, gtk_list_box_row_get_index(selected) - 1, -1));
            }
            return GDK_EVENT_STOP;
        case GDK_KEY_Down: {
            GtkListBoxRow* selected = gtk_list_box_get_selected_row(list);
            scroll_to_row(list,
                          select_first_shown(
                              list, selected != nullptr ? gtk_list_box_row_get_index(selected) + 1 : 0, 1));
            return GDK_EVENT_STOP;
        }
        default:
            return GDK_EVENT_PROPAGATE;
    }
}

void on_row_activated(GtkListBox* list, GtkListBoxRow* row, KeyData* data) {
    finish_row_build(list);
    if (auto entry = row_entry(row)) {
        activate_entry(*entry, data->state->history, data->close_launcher);
    }
}

}  // namespace lumenpad
