#include "lumenpad-shared/gobject_ptr.hpp"

#include "lumenpad-test/temp_dir.hpp"

#include <gtest/gtest.h>

namespace lumenpad {
namespace {

TEST(GObjectPtr, AdoptTakesTheReferenceAndRetainAddsOne) {
    gpointer alive = nullptr;
    {
        auto adopted = adopt(G_OBJECT(g_object_new(G_TYPE_OBJECT, nullptr)));
        alive = adopted.get();
        g_object_add_weak_pointer(adopted.get(), &alive);
        {
            const auto retained = retain(adopted.get());
            EXPECT_EQ(retained.get(), adopted.get());
        }
        EXPECT_NE(alive, nullptr) << "the adopted reference is still held";
    }
    EXPECT_EQ(alive, nullptr);
    EXPECT_FALSE(retain<GObject>(nullptr));
}

TEST(WeakObject, GivesTheObjectOnlyWhileItLives) {
    auto object = adopt(G_OBJECT(g_object_new(G_TYPE_OBJECT, nullptr)));
    const WeakObject<GObject> weak(object.get());
    EXPECT_EQ(weak.get().get(), object.get());
    object.reset();
    EXPECT_EQ(weak.get(), nullptr);
}

TEST(GErrorOut, HoldsTheErrorACallReports) {
    const test::TempDir dir;
    GErrorOut error;
    EXPECT_FALSE(error);
    gchar* contents = nullptr;
    EXPECT_FALSE(g_file_get_contents((dir / "missing").c_str(), &contents, nullptr, error.out()));
    EXPECT_EQ(contents, nullptr);
    EXPECT_TRUE(error);
}

}  // namespace
}  // namespace lumenpad
