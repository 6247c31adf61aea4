// Owning pointers for GObjects and GErrors. adopt() takes over a reference a
// call returned to us; retain() adds one to an object we only borrow.
#pragma once

#include <glib-object.h>

#include <memory>

namespace lumenpad {

struct GObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};

template <typename T>
using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

template <typename T>
GObjectPtr<T> adopt(T* object) {
    return GObjectPtr<T>(object);
}

template <typename T>
GObjectPtr<T> retain(T* object) {
    return GObjectPtr<T>(object != nullptr ? static_cast<T*>(g_object_ref(object)) : nullptr);
}

struct GErrorFree {
    void operator()(GError* error) const { g_error_free(error); }
};
using GErrorPtr = std::unique_ptr<GError, GErrorFree>;

struct GFree {
    void operator()(gpointer memory) const { g_free(memory); }
};
using GCharPtr = std::unique_ptr<char, GFree>;

}  // namespace lumenpad
