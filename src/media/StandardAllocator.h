// The element allocator behind String<T> and List<T>.
//
// Every String and List carries a pointer to the allocator that owns its
// memory, so that whoever ends up holding it (the plug-in or the host) frees
// it through the same allocator. The system uses one process-wide instance
// per element type, obtained from instance(); it holds no state, so any
// thread may allocate and free through it at any time.
#pragma once

#include <cstdint>
#include <new>

#include "support/DestructorSlot.h"

namespace Qel {

template <class T>
class StandardAllocator {
    QEL_ROOT_DESTRUCTOR_SLOT(StandardAllocator)
public:
    // Uninitialised room for count elements. Throws std::bad_alloc on
    // failure; never returns null.
    virtual T* allocate(uint32_t count)                    // 1
    {
        const uint32_t bytes = requestSize(count);
        // A saturated request can never be met in the 32-bit address space
        // the host runs in. Refusing it here gives the same answer on 64-bit
        // builds, where the system might otherwise grant 4 GiB.
        if (bytes == kSaturatedRequest)
            throw std::bad_alloc();
        return static_cast<T*>(::operator new[](bytes));
    }

    virtual void deallocate(T* block)                      // 2
    {
        ::operator delete[](static_cast<void*>(block));
    }

    // The process-wide instance for T, created on first use. A function-local
    // static: the compiler's initialisation guard makes two threads that reach
    // the first use at once wait for one construction, and the destructor is
    // registered with the module's exit list, so it runs when the module is
    // unloaded.
    static StandardAllocator& instance()
    {
        static StandardAllocator theInstance;
        return theInstance;
    }

    StandardAllocator() = default;
    StandardAllocator(const StandardAllocator&) = delete;
    StandardAllocator& operator=(const StandardAllocator&) = delete;

    // The byte count that allocate asks for: count × sizeof(T), or
    // 0xFFFFFFFF when that does not fit 32 bits, so an overflowing count
    // fails instead of yielding a truncated block.
    static uint32_t requestSize(uint32_t count)
    {
        const uint64_t bytes = uint64_t(count) * sizeof(T);
        return bytes > kSaturatedRequest ? kSaturatedRequest : uint32_t(bytes);
    }

    static constexpr uint32_t kSaturatedRequest = 0xFFFFFFFFu;

protected:
    ~StandardAllocator() = default;
};

} // namespace Qel
