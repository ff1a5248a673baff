// The registry of every object the runtime has handed out. Handles are
// checked against it on every call, so an unknown or disposed handle is
// answered with an error instead of being followed. Opaque handles are
// numbers that are never reused; QtHandles are real handles (a pointer to
// the pointer to the block). The registry owns every object; disposing one
// disposes every object that depends on it (what belongs to it: a movie's
// tracks, a surface's pixel map). What is only made from an object (an
// extraction or a sequence from a movie) does not depend on it: QuickTime
// documents no such cascade.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "QuickTimeInterface.h"

namespace QelRuntime {

enum class ObjectKind {
    Movie,
    Track,
    Media,
    UserData,
    TimeBase,
    Extraction,
    ComponentInstance,
    ExportSource,
    Surface,
    PixelMap,
    Sequence,
};

struct RuntimeObject {
    virtual ~RuntimeObject() = default;
    std::vector<uintptr_t> dependsOn;  // disposed with any of these
};

class Registry {
public:
    // Registers an object of type T (which names its kind as T::kKind) and
    // answers its new handle.
    template <class T>
    uintptr_t add(std::unique_ptr<T> object)
    {
        return insert(T::kKind, std::move(object));
    }

    // The live object of type T behind a handle, or null.
    template <class T>
    T* find(const void* handle) const
    {
        return static_cast<T*>(lookup(T::kKind, reinterpret_cast<uintptr_t>(handle)));
    }

    // Every live object of type T.
    template <class T>
    std::vector<T*> all() const
    {
        std::vector<T*> found;
        for (const auto& [handle, entry] : objects)
            if (entry.kind == T::kKind)
                found.push_back(static_cast<T*>(entry.object.get()));
        return found;
    }

    // Disposes an object and everything that depends on it, and the
    // QtHandles it owns. Answers whether the handle was live.
    bool dispose(uintptr_t handle);

    // QtHandles. `owner` (0: the caller) is the object whose disposal frees it.
    QtHandle newHandle(size_t size, uintptr_t owner = 0);
    bool isHandle(QtHandle handle) const;
    bool isCallerHandle(QtHandle handle) const;
    size_t handleSize(QtHandle handle) const;
    void resizeHandle(QtHandle handle, size_t size);
    void disposeHandle(QtHandle handle);

private:
    struct Entry {
        ObjectKind kind;
        std::unique_ptr<RuntimeObject> object;
    };
    struct HandleBlock {
        char* master = nullptr;  // what the handle points to
        std::vector<char> storage;
        uintptr_t owner = 0;
    };

    uintptr_t insert(ObjectKind kind, std::unique_ptr<RuntimeObject> object);
    RuntimeObject* lookup(ObjectKind kind, uintptr_t handle) const;

    uintptr_t lastHandle = 0x10000;
    std::map<uintptr_t, Entry> objects;
    std::map<QtHandle, std::unique_ptr<HandleBlock>> handles;
};

} // namespace QelRuntime
