// The one-slot destructor of the host's binary interface.
//
// Hosts are built with the Windows compiler ABI, where a class's virtual
// destructor occupies exactly one vtable slot: a "deleting destructor" that
// takes a flags word (bit 0: free the memory after destruction) and returns
// the object's address. GCC's ABI gives a virtual destructor two entries and
// would shift every later slot. So every polymorphic class that crosses the
// boundary declares this slot instead of a virtual destructor, and keeps a
// non-virtual C++ destructor behind it.
//
// Usage:
//   - the root of a hierarchy that is never instantiated on its own:
//       QEL_ABSTRACT_DESTRUCTOR_SLOT()
//   - the root of a hierarchy that is also instantiated:
//       QEL_ROOT_DESTRUCTOR_SLOT(ClassName)
//   - every class derived from either:
//       QEL_DESTRUCTOR_SLOT(ClassName)
//   - to delete an object through any of its views: Qel::destroy(pointer).
#pragma once

#define QEL_ABSTRACT_DESTRUCTOR_SLOT()                               \
public:                                                              \
    /* slot 0 */ virtual void* destroySlot(unsigned int flags) = 0;

#define QEL_ROOT_DESTRUCTOR_SLOT(Class)                              \
public:                                                              \
    /* slot 0 */ virtual void* destroySlot(unsigned int flags)       \
    {                                                                \
        this->~Class();                                              \
        if (flags & 1u)                                              \
            ::operator delete(static_cast<void*>(this));             \
        return this;                                                 \
    }

#define QEL_DESTRUCTOR_SLOT(Class)                                   \
public:                                                              \
    void* destroySlot(unsigned int flags) override                   \
    {                                                                \
        this->~Class();                                              \
        if (flags & 1u)                                              \
            ::operator delete(static_cast<void*>(this));             \
        return this;                                                 \
    }

namespace Qel {

// Destroys and frees an object through slot 0; null is ignored.
template <class T>
inline void destroy(T* object)
{
    if (object)
        object->destroySlot(1u);
}

} // namespace Qel
