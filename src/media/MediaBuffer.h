// A lockable view of a block of bytes.
//
// The buffer does not own the block given to setData: whoever set it frees
// it (a MediaChunk's block is freed by the allocator that made the chunk).
// Users of the bytes bracket every access with lockData/unlockData (or
// lock/unlock) on one thread; the lock is recursive and per buffer.
// setData and the accessors take no lock: the producer fills a buffer
// before handing it on. Destruction, like release(), first waits for any
// thread that still holds the lock.
#pragma once

#include <cstdint>

#include <boost/thread/recursive_mutex.hpp>

#include "media/String.h"
#include "support/DestructorSlot.h"

namespace Qel {

class MediaBuffer {
    QEL_ROOT_DESTRUCTOR_SLOT(MediaBuffer)
public:
    MediaBuffer();
    ~MediaBuffer();
    MediaBuffer(const MediaBuffer&) = delete;
    MediaBuffer& operator=(const MediaBuffer&) = delete;

    // Never frees a previous block; leaves the valid length unchanged.
    virtual void setData(unsigned char* block, uint32_t size);  // 1
    // Waits until no other thread holds the buffer. Chunks return themselves
    // to their allocator instead.
    virtual void release();                                      // 2
    virtual unsigned char* lockData();                           // 3
    virtual void unlockData();                                   // 4
    virtual void lock();                                         // 5
    virtual void unlock();                                       // 6

    uint32_t dataSize() const { return blockSize; }
    // The producer writes the number of valid bytes through this reference.
    uint32_t& dataLength() { return validLength; }

protected:
    // The host reads these words in this order: valid length, block size,
    // block pointer, lock, storage.
    uint32_t validLength;
    uint32_t blockSize;
    unsigned char* data;
    boost::recursive_mutex mutex;
    String<unsigned char> storage;  // never filled by this system

private:
    friend struct MediaLayout;
};

} // namespace Qel
