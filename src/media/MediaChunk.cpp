#include "media/MediaChunk.h"

#include "media/BufferAllocator.h"

namespace Qel {

MediaChunk::MediaChunk(::MediaBufferAllocator* owner)
    : startTime(0), duration(0), reserved1(0), reserved2(0), owner(owner)
{
}

void MediaChunk::release()
{
    owner->release(this);
}

} // namespace Qel
