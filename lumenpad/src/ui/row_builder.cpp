#include "lumenpad/row_builder.hpp"

#include "lumenpad/rows.hpp"
#include "lumenpad/rows_on_view.hpp"

#include "lumenpad-shared/gobject_ptr.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace lumenpad {

namespace {

// Enough rows to fill the list's 480 pixels (a row is at least as tall as
// its 32-pixel icon) with a margin for the arrow keys.
constexpr std::size_t first_rows = 24;

// Each idle batch stops appending after this much time, leaving the frame
// that styles and measures the new rows inside one refresh.
constexpr gint64 batch_budget_us = 3000;

struct RowBuild {
    GtkListBox* list;
    const std::vector<AppEntry>* entries;
    std::size_t next = 0;
    GObjectPtr<GdkFrameClock> clock{};
    gulong after_paint = 0;
    guint idle = 0;
};

GQuark build_quark() {
    static const GQuark quark = g_quark_from_static_string("lumenpad-row-build");
    return quark;
}

RowBuild* find_build(GtkListBox* list) {
    return static_cast<RowBuild*>(g_object_get_qdata(G_OBJECT(list), build_quark()));
}

void append_rows(RowBuild& build, std::size_t end) {
    for (; build.next < end; ++build.next) {
        const AppEntry& entry = (*build.entries)[build.next];
        GtkWidget* row = make_row(entry);
        attach_row_data(GTK_LIST_BOX_ROW(row), entry, static_cast<std::uint32_t>(build.next));
        start_unpainted(row);
        gtk_list_box_append(build.list, row);
    }
}

void stop_watching_frames(RowBuild& build) {
    if (build.clock) {
        g_signal_handler_disconnect(build.clock.get(), build.after_paint);
        build.clock.reset();
    }
}

// Torn down in reverse order of setting up: the batch to come, then the
// watch on the frames.
void end_build(RowBuild* build) {
    if (build->idle != 0) {
        g_source_remove(build->idle);
    }
    stop_watching_frames(*build);
    g_object_set_qdata(G_OBJECT(build->list), build_quark(), nullptr);
    delete build;
}

// One batch, bounded in time; the frame that follows styles and measures
// its rows, and the batch after it waits for that frame.
gboolean on_idle(gpointer data) {
    auto* build = static_cast<RowBuild*>(data);
    const gint64 start = g_get_monotonic_time();
    const std::size_t total = build->entries->size();
    while (build->next < total && g_get_monotonic_time() - start < batch_budget_us) {
        append_rows(*build, build->next + 1);
    }
    build->idle = 0;
    if (build->next == total) {
        end_build(build);
    }
    return G_SOURCE_REMOVE;
}

// After each frame, from the first on, one more batch, below input and
// drawing, so neither waits for more than one batch.
void on_after_paint(GdkFrameClock*, gpointer data) {
    auto* build = static_cast<RowBuild*>(data);
    if (build->idle == 0) {
        build->idle = g_idle_add_full(G_PRIORITY_DEFAULT_IDLE, on_idle, build, nullptr);
    }
}

void on_realize(GtkWidget* list, gpointer) {
    RowBuild* build = find_build(GTK_LIST_BOX(list));
    if (build == nullptr || build->clock) {
        return;
    }
    build->clock = retain(gtk_widget_get_frame_clock(list));
    build->after_paint =
        g_signal_connect(build->clock.get(), "after-paint", G_CALLBACK(on_after_paint), build);
}

// A closed window is unrealized before it is destroyed; a list destroyed
// unshown is never unrealized. The build ends at whichever comes first.
void on_list_gone(GtkWidget* list, gpointer) {
    if (RowBuild* build = find_build(GTK_LIST_BOX(list))) {
        end_build(build);
    }
}

}  // namespace

void start_row_build(GtkListBox* list, const std::vector<AppEntry>& entries) {
    auto* build = new RowBuild{list, &entries};
    append_rows(*build, std::min(entries.size(), first_rows));
    if (build->next == entries.size()) {
        delete build;
        return;
    }
    g_object_set_qdata(G_OBJECT(list), build_quark(), build);
    // The handlers go with the list and find the build through it: it ends
    // when the last row is in or when the list goes, so nothing of it runs on
    // a closed or destroyed list.
    g_signal_connect(list, "realize", G_CALLBACK(on_realize), nullptr);
    g_signal_connect(list, "unrealize", G_CALLBACK(on_list_gone), nullptr);
    g_signal_connect(list, "destroy", G_CALLBACK(on_list_gone), nullptr);
}

void finish_row_build(GtkListBox* list) {
    if (RowBuild* build = find_build(list)) {
        append_rows(*build, build->entries->size());
        end_build(build);
    }
}

bool row_build_pending(GtkListBox* list) {
    return find_build(list) != nullptr;
}

}  // namespace lumenpad
