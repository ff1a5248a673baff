// A chunk received from readStream, held locked while its bytes are read
// and given back to the plug-in (release) when the holder goes.
#pragma once

#include <cstdint>

#include "media/MediaChunk.h"

namespace Qel::Cli {

class HeldChunk {
public:
    explicit HeldChunk(MediaChunk* chunk) : chunk(chunk), data(chunk ? chunk->lockData() : nullptr) {}
    ~HeldChunk()
    {
        if (!chunk)
            return;
        chunk->unlockData();
        chunk->release();
    }
    HeldChunk(const HeldChunk&) = delete;
    HeldChunk& operator=(const HeldChunk&) = delete;

    explicit operator bool() const { return chunk != nullptr; }
    const uint8_t* bytes() const { return data; }
    // The audio stream leaves dataLength at 0: its chunks are full blocks.
    uint32_t audioBytes() const { return chunk->dataSize(); }
    uint32_t videoBytes() const { return chunk->dataLength(); }
    uint32_t startTime() const { return chunk->startTime; }
    uint32_t duration() const { return chunk->duration; }
    uint32_t endTime() const { return chunk->startTime + chunk->duration; }

private:
    MediaChunk* chunk;
    const uint8_t* data;
};

} // namespace Qel::Cli
