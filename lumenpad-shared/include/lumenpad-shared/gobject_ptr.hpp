// Owners for what GLib hands us: GObject references, GErrors and strings.
// adopt() takes over a reference a call returned to us; retain() adds one to
// an object we only borrow.
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

// The error out-parameter of a GLib call: pass out(), then test the holder.
// The error, if any, is freed with the holder.
class GErrorOut {
public:
    GErrorOut() = default;
    GErrorOut(const GErrorOut&) = delete;
    GErrorOut& operator=(const GErrorOut&) = delete;
    ~GErrorOut() {
        if (error_ != nullptr) {
            g_error_free(error_);
        }
    }

    GError** out() { return &error_; }
    explicit operator bool() const { return error_ != nullptr; }

private:
    GError* error_ = nullptr;
};

struct GFree {
    void operator()(gpointer memory) const { g_free(memory); }
};
using GCharPtr = std::unique_ptr<char, GFree>;

}  // namespace lumenpad
