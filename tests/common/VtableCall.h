// Calls a virtual operation by its slot number through the object's raw
// vtable, the way a host built with another compiler reaches it, so that a
// test proves the slot order rather than the C++ declaration.
//
// object must point at the view whose vtable holds the slot (for example
// the ContainerInterface view of a container, not its Plugin view).
// x86_64: `this` is the first argument. i386 Windows: __thiscall.
#pragma once

#include <cstddef>

namespace Qel::Testing {

template <class R, class Object, class... Args>
R callSlot(Object* object, std::size_t slotIndex, Args... args)
{
    void* self = const_cast<void*>(static_cast<const void*>(object));
    void* const* vtable = *static_cast<void* const* const*>(self);
#if defined(__i386__) && defined(_WIN32)
    using Slot = R(__attribute__((thiscall)) *)(void*, Args...);
#elif defined(__x86_64__)
    using Slot = R (*)(void*, Args...);
#else
#error "callSlot knows the calling conventions of x86_64 and i386 Windows only"
#endif
    return reinterpret_cast<Slot>(vtable[slotIndex])(self, args...);
}

} // namespace Qel::Testing
