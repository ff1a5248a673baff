#include "media/RecycledBlocks.h"

#include <new>

namespace Qel {

RecycledBlocks::~RecycledBlocks()
{
    for (Kept& entry : kept)
        delete[] entry.block;
}

unsigned char* RecycledBlocks::take(size_t size)
{
    {
        std::lock_guard<std::mutex> guard(lock);
        for (size_t i = 0; i < count; ++i) {
            if (kept[i].size == size)
                return removeLocked(i);
        }
    }
    return new (std::nothrow) unsigned char[size];
}

void RecycledBlocks::give(unsigned char* block, size_t size)
{
    if (size < kMinimumBytes) {
        delete[] block;
        return;
    }
    unsigned char* dropped = nullptr;
    {
        std::lock_guard<std::mutex> guard(lock);
        if (count == kCapacity)
            dropped = removeLocked(0);
        kept[count++] = Kept{block, size};
    }
    delete[] dropped;
}

// Entry i's block, its place closed up behind it.
unsigned char* RecycledBlocks::removeLocked(size_t i)
{
    unsigned char* block = kept[i].block;
    for (--count; i < count; ++i)
        kept[i] = kept[i + 1];
    kept[count] = Kept();
    return block;
}

} // namespace Qel
