// An element allocator that remembers which blocks it handed out, so that
// tests can tell which allocator a String or List freed through, and that
// every block came back exactly once.
#pragma once

#include <cstdint>
#include <set>

#include <gtest/gtest.h>

#include "media/StandardAllocator.h"

namespace Qel::Testing {

template <class T>
class CountingAllocator : public StandardAllocator<T> {
    QEL_DESTRUCTOR_SLOT(CountingAllocator)
public:
    CountingAllocator() = default;
    ~CountingAllocator() { EXPECT_TRUE(live.empty()) << live.size() << " blocks never freed"; }

    T* allocate(uint32_t count) override
    {
        T* block = StandardAllocator<T>::allocate(count);
        ++allocations;
        live.insert(block);
        return block;
    }

    void deallocate(T* block) override
    {
        EXPECT_EQ(live.erase(block), 1u) << "freed a block this allocator does not hold";
        ++deallocations;
        StandardAllocator<T>::deallocate(block);
    }

    bool holds(const void* block) const { return live.count(static_cast<const T*>(block)) == 1; }

    int allocations = 0;
    int deallocations = 0;

private:
    std::set<const T*> live;
};

} // namespace Qel::Testing
