// Frame blocks the host has given back, kept for the next frames of the
// same size. On 32-bit Windows the process heap serves every block over
// 508 KiB with fresh pages from the system and gives them back when freed,
// so each 1080p frame (4 MB) would fault a thousand pages in again: under
// Wine that took a tenth of decoding's processor time. Native heaps reuse
// freed blocks themselves; there the store saves little and costs little.
//
// Blocks come from array new and end in array delete, as chunks' blocks
// always do. Any thread may give; the store takes its own lock.
#pragma once

#include <cstddef>
#include <mutex>

namespace Qel {

class RecycledBlocks {
public:
    // Blocks smaller than this are left to the heap, which keeps them in
    // its free lists anyway (sound chunks are at most 128 KiB).
    static constexpr size_t kMinimumBytes = 256 * 1024;
    // Enough for a host that releases each frame before it reads the next,
    // or one behind; more would only hold memory.
    static constexpr size_t kCapacity = 2;

    RecycledBlocks() = default;
    ~RecycledBlocks();
    RecycledBlocks(const RecycledBlocks&) = delete;
    RecycledBlocks& operator=(const RecycledBlocks&) = delete;

    // A block of size bytes, uninitialised: a kept one of that size, or a
    // new one; null when the memory cannot be had.
    unsigned char* take(size_t size);
    // Keeps block (of size bytes) for a later take, in place of the oldest
    // kept one when the store is full; frees it when it is too small.
    void give(unsigned char* block, size_t size);

private:
    struct Kept {
        unsigned char* block = nullptr;
        size_t size = 0;
    };

    unsigned char* removeLocked(size_t i);

    std::mutex lock;
    Kept kept[kCapacity];  // the first count of them, oldest first
    size_t count = 0;
};

} // namespace Qel
