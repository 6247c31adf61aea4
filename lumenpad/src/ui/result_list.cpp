#include "lumenpad/result_list.hpp"

#include <algorithm>
#include <numeric>
#include <utility>

struct _LumenpadResultPlace {
    GObject parent_instance;
};

G_DEFINE_FINAL_TYPE(LumenpadResultPlace, lumenpad_result_place, G_TYPE_OBJECT)

static void lumenpad_result_place_class_init(LumenpadResultPlaceClass*) {}

static void lumenpad_result_place_init(LumenpadResultPlace*) {}

namespace {

struct ResultList {
    std::vector<std::uint32_t> order;
    // One item per place that has been asked for.
    std::vector<LumenpadResultPlace*> places;
};

}  // namespace

struct _LumenpadResultList {
    GObject parent_instance;
    ResultList* list;
};

static void lumenpad_result_list_model_init(GListModelInterface* iface);

G_DEFINE_FINAL_TYPE_WITH_CODE(LumenpadResultList, lumenpad_result_list, G_TYPE_OBJECT,
                              G_IMPLEMENT_INTERFACE(G_TYPE_LIST_MODEL, lumenpad_result_list_model_init))

static GType lumenpad_result_list_get_item_type(GListModel*) {
    return LUMENPAD_TYPE_RESULT_PLACE;
}

static guint lumenpad_result_list_get_n_items(GListModel* model) {
    return static_cast<guint>(LUMENPAD_RESULT_LIST(model)->list->order.size());
}

static gpointer lumenpad_result_list_get_item(GListModel* model, guint position) {
    ResultList& list = *LUMENPAD_RESULT_LIST(model)->list;
    if (position >= list.order.size()) {
        return nullptr;
    }
    if (position >= list.places.size()) {
        list.places.resize(position + 1, nullptr);
    }
    LumenpadResultPlace*& place = list.places[position];
    if (place == nullptr) {
        place = LUMENPAD_RESULT_PLACE(g_object_new(LUMENPAD_TYPE_RESULT_PLACE, nullptr));
    }
    return g_object_ref(place);
}

static void lumenpad_result_list_model_init(GListModelInterface* iface) {
    iface->get_item_type = lumenpad_result_list_get_item_type;
    iface->get_n_items = lumenpad_result_list_get_n_items;
    iface->get_item = lumenpad_result_list_get_item;
}

static void lumenpad_result_list_finalize(GObject* object) {
    ResultList* list = LUMENPAD_RESULT_LIST(object)->list;
    for (LumenpadResultPlace* place : list->places) {
        if (place != nullptr) {
            g_object_unref(place);
        }
    }
    delete list;
    G_OBJECT_CLASS(lumenpad_result_list_parent_class)->finalize(object);
}

static void lumenpad_result_list_class_init(LumenpadResultListClass* klass) {
    G_OBJECT_CLASS(klass)->finalize = lumenpad_result_list_finalize;
}

static void lumenpad_result_list_init(LumenpadResultList* self) {
    self->list = new ResultList;
}

namespace lumenpad {

LumenpadResultList* result_list_new(std::size_t size) {
    auto* self = LUMENPAD_RESULT_LIST(g_object_new(LUMENPAD_TYPE_RESULT_LIST, nullptr));
    self->list->order.resize(size);
    std::iota(self->list->order.begin(), self->list->order.end(), std::uint32_t{0});
    return self;
}

std::size_t set_result_order(LumenpadResultList* self, std::vector<std::uint32_t> order) {
    std::vector<std::uint32_t>& old = self->list->order;
    const std::size_t kept = std::min(old.size(), order.size());
    const auto first_changed = static_cast<std::size_t>(
        std::mismatch(old.begin(), old.begin() + kept, order.begin()).first - old.begin());
    const auto removed = static_cast<guint>(old.size() - kept);
    const auto added = static_cast<guint>(order.size() - kept);
    old = std::move(order);
    if (removed != 0 || added != 0) {
        g_list_model_items_changed(G_LIST_MODEL(self), static_cast<guint>(kept), removed, added);
    }
    return first_changed;
}

const std::uint32_t* result_at(LumenpadResultList* self, std::size_t position) {
    const std::vector<std::uint32_t>& order = self->list->order;
    return position < order.size() ? &order[position] : nullptr;
}

}  // namespace lumenpad
