#include "media/MediaBuffer.h"

namespace Qel {

MediaBuffer::MediaBuffer()
    : validLength(0), blockSize(0), data(nullptr),
      storage(nullptr, &StandardAllocator<unsigned char>::instance())
{
}

MediaBuffer::~MediaBuffer()
{
    // Wait for any thread still inside the bytes before the lock goes away.
    MediaBuffer::release();
    storage.clear();
}

void MediaBuffer::setData(unsigned char* block, uint32_t size)
{
    data = block;
    blockSize = size;
}

void MediaBuffer::release()
{
    mutex.lock();
    mutex.unlock();
}

unsigned char* MediaBuffer::lockData()
{
    mutex.lock();
    return data;
}

void MediaBuffer::unlockData()
{
    mutex.unlock();
}

void MediaBuffer::lock()
{
    mutex.lock();
}

void MediaBuffer::unlock()
{
    mutex.unlock();
}

} // namespace Qel
