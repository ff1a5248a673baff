// Buffer allocators: the objects that make the chunks streams hand to the
// host, and take them back when the host releases them.
//
// A MediaBufferAllocator is held by its creator (the container) and by every
// chunk it made that the host has not released yet; whichever lets go last
// deletes it, so a host may release chunks after the container is gone. The
// streams call only newBlock and createChunk. The count of holders is atomic
// and the recycled blocks take their own lock, so any thread may create and
// release chunks.
#pragma once

#include <atomic>
#include <cstdint>

#include "media/MediaBuffer.h"
#include "media/MediaChunk.h"
#include "media/RecycledBlocks.h"
#include "media/StandardAllocator.h"
#include "support/DestructorSlot.h"

namespace Qel {

class IBufferAllocator {
    QEL_ABSTRACT_DESTRUCTOR_SLOT()
public:
    // Frees a block through the given allocator; size is not needed. Answers
    // false whether or not there was a block to free.
    virtual bool freeData(void* block, uint32_t size,
                          StandardAllocator<unsigned char>* allocator);  // 1
    virtual void setParameter(int32_t value);                            // 2
    // A buffer for the host's own use, or null. The arguments' meaning is
    // the host's.
    virtual MediaBuffer* allocate(uint32_t, uint32_t, uint32_t) = 0;    // 3
    // Takes back a buffer made by this allocator.
    virtual void release(MediaBuffer* buffer) = 0;                       // 4

    int32_t getParameter() const { return parameter; }

protected:
    IBufferAllocator() : parameter(0) {}
    ~IBufferAllocator() = default;

    int32_t parameter;  // stored for the host; never read by this system
};

} // namespace Qel

class MediaBufferAllocator : public Qel::IBufferAllocator {
    QEL_DESTRUCTOR_SLOT(MediaBufferAllocator)
public:
    MediaBufferAllocator() : holders(1) {}
    ~MediaBufferAllocator() = default;
    MediaBufferAllocator(const MediaBufferAllocator&) = delete;
    MediaBufferAllocator& operator=(const MediaBufferAllocator&) = delete;

    // Always null: chunks are made only by createChunk.
    Qel::MediaBuffer* allocate(uint32_t, uint32_t, uint32_t) override;  // 3
    // Gives the buffer's block (unless its size is 0) to the recycled
    // blocks, which keep a frame's block for the next frame and free the
    // others with array delete, then frees the buffer itself. Null is
    // ignored.
    void release(Qel::MediaBuffer* buffer) override;                    // 4

    // A block of size bytes for a chunk, from array new: a released frame's
    // block of that size, or a new one; null when the memory cannot be had.
    unsigned char* newBlock(size_t size) { return recycled.take(size); }

    // A new chunk owned by the caller until handed to the host; it takes
    // ownership of block, which must come from array new.
    Qel::MediaChunk* createChunk(unsigned char* block, uint32_t size);

    // The creator lets go of an allocator made with new; it is deleted now,
    // or when the last chunk it made is released.
    void releaseHold();

private:
    std::atomic<uint32_t> holders;  // the creator, and each chunk not yet released
    Qel::RecycledBlocks recycled;
};
