// One unit of stream output handed to the host: decoded samples or one
// decoded frame, with its start time and duration in milliseconds.
//
// Only MediaBufferAllocator::createChunk makes chunks. A chunk owns its block
// (allocated with array new) and holds its allocator alive; the host owns the
// chunk from the stream's readStream until it calls release(), which frees
// the block and the chunk in one step, whether or not the container still
// exists. The chunk must not be touched after release().
#pragma once

#include <cstdint>

#include "media/MediaBuffer.h"
#include "media/Properties.h"

class MediaBufferAllocator;

namespace Qel {

class MediaChunk : public MediaBuffer {
    QEL_DESTRUCTOR_SLOT(MediaChunk)
public:
    // Returns the chunk to its owner, which frees the block and the chunk.
    void release() override;  // 2

    uint32_t startTime;  // ms of stream time
    uint32_t duration;   // ms
    // Two words the host reads; this system only clears them.
    uint32_t reserved1;
    uint32_t reserved2;
    ::MediaBufferAllocator* owner;
    ImageProperties imageProperties;  // left at the defaults
    AudioProperties audioProperties;  // left at the defaults

protected:
    ~MediaChunk() = default;

private:
    friend class ::MediaBufferAllocator;
    explicit MediaChunk(::MediaBufferAllocator* owner);
};

} // namespace Qel
