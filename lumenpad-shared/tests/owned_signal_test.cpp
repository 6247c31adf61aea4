#include "lumenpad-shared/owned_signal.hpp"
#include "lumenpad-shared/gobject_ptr.hpp"

#include <gtest/gtest.h>

namespace lumenpad {
namespace {

// Counts its own deletion, and the calls of the handler it is given to.
struct Tracked {
    int* deleted;
    int calls = 0;
    ~Tracked() { ++*deleted; }
};

void on_notify(GObject*, GParamSpec*, Tracked* data) {
    ++data->calls;
}

TEST(ConnectOwned, TheHandlerGetsTheDataAndDisconnectingDeletesIt) {
    int deleted = 0;
    const auto object = adopt(G_OBJECT(g_object_new(G_TYPE_OBJECT, nullptr)));
    auto* data = new Tracked{&deleted};
    const gulong handler = connect_owned(object.get(), "notify", on_notify, data);
    g_signal_emit_by_name(object.get(), "notify", nullptr);
    EXPECT_EQ(data->calls, 1);
    EXPECT_EQ(deleted, 0);
    g_signal_handler_disconnect(object.get(), handler);
    EXPECT_EQ(deleted, 1);
}

TEST(ConnectOwned, FinalisingTheInstanceDeletesTheData) {
    int deleted = 0;
    auto object = adopt(G_OBJECT(g_object_new(G_TYPE_OBJECT, nullptr)));
    connect_owned(object.get(), "notify", on_notify, new Tracked{&deleted});
    EXPECT_EQ(deleted, 0);
    object.reset();
    EXPECT_EQ(deleted, 1);
}

}  // namespace
}  // namespace lumenpad
