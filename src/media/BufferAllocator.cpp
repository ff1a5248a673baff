#include "media/BufferAllocator.h"

namespace Qel {

bool IBufferAllocator::freeData(void* block, uint32_t, StandardAllocator<unsigned char>* allocator)
{
    if (block)
        allocator->deallocate(static_cast<unsigned char*>(block));
    return false;
}

void IBufferAllocator::setParameter(int32_t value)
{
    parameter = value;
}

} // namespace Qel

Qel::MediaBuffer* MediaBufferAllocator::allocate(uint32_t, uint32_t, uint32_t)
{
    return nullptr;
}

void MediaBufferAllocator::release(Qel::MediaBuffer* buffer)
{
    if (!buffer)
        return;
    if (buffer->dataSize() != 0) {
        recycled.give(buffer->lockData(), buffer->dataSize());
        buffer->unlockData();
    }
    Qel::destroy(buffer);
    releaseHold();
}

Qel::MediaChunk* MediaBufferAllocator::createChunk(unsigned char* block, uint32_t size)
{
    // A throwing constructor leaves nothing behind: the new-expression frees
    // the chunk's memory before the exception passes on.
    Qel::MediaChunk* chunk = new Qel::MediaChunk(this);
    chunk->setData(block, size);
    holders.fetch_add(1, std::memory_order_relaxed);
    return chunk;
}

void MediaBufferAllocator::releaseHold()
{
    // The release orders this holder's use before the deletion that the
    // last holder makes; the acquire fence makes every other use visible.
    if (holders.fetch_sub(1, std::memory_order_release) != 1)
        return;
    std::atomic_thread_fence(std::memory_order_acquire);
    Qel::destroy(this);
}
