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
        for (size_t i = 0; i < kCapacity && kept[i].block; ++i) {
            if (kept[i].size != size)
                continue;
            unsigned char* block = kept[i].block;
            for (; i + 1 < kCapacity; ++i)
                kept[i] = kept[i + 1];
            kept[kCapacity - 1] = Kept();
            return block;
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
        size_t free = 0;
        while (free < kCapacity && kept[free].block)
            ++free;
        if (free == kCapacity) {
            dropped = kept[0].block;
            for (size_t i = 0; i + 1 < kCapacity; ++i)
                kept[i] = kept[i + 1];
            free = kCapacity - 1;
        }
        kept[free] = Kept{block, size};
    }
    delete[] dropped;
}

} // namespace Qel
