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

// A weak reference, for a handle that must not keep its object alive (one
// held by the object's own handlers): get() gives a strong reference, or
// null once the object has been finalised.
template <typename T>
class WeakObject {
public:
    explicit WeakObject(T* object) { g_weak_ref_init(&ref_, object); }
    WeakObject(const WeakObject&) = delete;
    WeakObject& operator=(const WeakObject&) = delete;
    ~WeakObject() { g_weak_ref_clear(&ref_); }

    GObjectPtr<T> get() const { return GObjectPtr<T>(static_cast<T*>(g_weak_ref_get(&ref_))); }

private:
    mutable GWeakRef ref_;
};

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
