#pragma once

// Ownership of GLib objects (GMime's parts and streams among them). Header only: whoever
// includes it links GLib already.

#include <glib-object.h>

#include <memory>

namespace velmora {

struct GObjectUnref {
    void operator()(gpointer object) const {
        if (object) {
            g_object_unref(object);
        }
    }
};

// Owns one reference to a GObject.
template <class T>
using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

// Takes over a reference the caller already holds (a *_new result).
template <class T>
GObjectPtr<T> Adopt(T* object) {
    return GObjectPtr<T>(object);
}

}  // namespace velmora
