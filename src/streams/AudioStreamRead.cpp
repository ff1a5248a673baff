// Seeking and reading. Chunk times are derived from the bytes delivered since
// the last seek, not asked of the runtime: bytePosition starts at the bytes
// that the time reached by the seek stands for and grows by each chunk.
#include <cstring>
#include <memory>

#include "media/BufferAllocator.h"
#include "media/MediaChunk.h"
#include "plugin/ResultCodes.h"
#include "quicktime/QtFailure.h"
#include "quicktime/QtOperations.h"
#include "streams/AudioStream.h"
#include "streams/HostClock.h"
#include "support/Log.h"
#include "support/OutOfMemoryGuard.h"

namespace Qel {

namespace {

constexpr int32_t kClockLagMs = 10;

// The low 32 bits of timeScale × ms / 1000 (64-bit product, unsigned division).
uint32_t msToUnits(int32_t timeScale, uint32_t ms)
{
    return static_cast<uint32_t>(static_cast<uint64_t>(int64_t(timeScale) * int64_t(ms)) / 1000u);
}

// The low 32 bits of units × 1000 / timeScale, for units ≥ 0 and a
// positive scale (a 64-bit time in the sample rate needs the whole value).
uint32_t unitsToMs(int64_t units, int32_t timeScale)
{
    return static_cast<uint32_t>(static_cast<uint64_t>(units) * 1000u / static_cast<uint64_t>(timeScale));
}

} // namespace

int32_t ContainerQuickTime::AudioStream::seekStream(uint32_t time, uint32_t* actualTime, int32_t)
{
    QEL_LOG(kAudioSeekStream, "QT audio seeking to: %u", time);
    if (extractionFlags & kExtractionComplete) {
        // A completed extraction goes no further: start a fresh one.
        closeStream();
        openStream(clock);
    }
    // Never opened, closed, or re-opened without success: nothing to move.
    if (!isReadable())
        return kResultFailure;
    // Samples filled before the seek belong to the old position.
    fillUndelivered = false;
    const int32_t timeScale = container->timeScale;  // never 0: the container refuses such movies

    QtTimeRecord record{};
    record.value = msToUnits(timeScale, time);
    record.scale = timeScale;
    record.base = QtMovieTimeBase(container->movie);
    // The runtime answers with the time it actually reached; its statuses
    // say no more than the byte count does.
    QtExtractPropertySet(extraction, kQtMoviePropertyClass, kQtTimeProperty, sizeof record, &record);
    // The time comes back in a scale of the runtime's choosing (the output
    // sample rate, not the movie's scale it was set in): it is converted
    // with the scale of the record returned. A record without a positive
    // scale or with a negative time names no time.
    uint32_t written = 0;
    QtExtractPropertyGet(extraction, kQtMoviePropertyClass, kQtTimeProperty, sizeof record, &record, &written);
    if (written < sizeof(uint32_t) || record.scale <= 0 || record.value < 0)
        return kResultFailure;

    const uint32_t reached = unitsToMs(record.value, record.scale);
    if (actualTime)
        *actualTime = reached;
    bytePosition = uint64_t(bytesPerSecond) * reached / 1000u;
    position = reached;
    endOfStream = false;
    QEL_LOG(kAudioSeekStream, "QT audio sook to t: %u b: %llu", reached,
            static_cast<unsigned long long>(bytePosition));
    return kResultSuccess;
}

// Out of memory for the chunk or its copy of the samples, the read fails
// with 0x80100001 and no chunk, and the fill stays in the working block:
// the next read delivers it instead of filling again, so no sound is lost
// and the chunk's times are those the failed read would have had.
int32_t ContainerQuickTime::AudioStream::readStream(MediaChunk** chunk)
{
    if (!chunk)
        return kResultFailure;
    *chunk = nullptr;
    if (isTrailingClock()) {
        seekBehindClock();
        return kResultFailure;
    }
    if (!fillUndelivered) {
        const int32_t filled = fill();
        if (filled != kResultSuccess)
            return filled;
    }
    return unlessOutOfMemory(
        [this, chunk] {
            *chunk = deliverChunk(bufferList.buffers[0].byteSize);
            fillUndelivered = false;
            return kResultSuccess;
        },
        [] { return kResultFailure; });
}

// Fills the working block with the next samples; on success they await
// delivery (fillUndelivered) and the buffer list's byte size counts them.
int32_t ContainerQuickTime::AudioStream::fill()
{
    if (extractionFlags & kExtractionComplete) {
        QEL_LOG(kAudioReadStream, "QT audio failed with code %ld", 0L);
        endOfStream = true;
        return kResultFailure;
    }
    if (!isReadable())
        return kResultFailure;

    // A fill of no data that does not say the extraction is complete is
    // tried once more before it counts as the end.
    QtLongStatus status = fillWholeBlock();
    if (status == 0 && bufferList.buffers[0].byteSize == 0 && !(extractionFlags & kExtractionComplete))
        status = fillWholeBlock();
    if (status != 0) {
        QEL_LOG_QT_FAILURE(kAudioReadStream, status);
        QEL_LOG(kAudioReadStream, "QT audio failed with code %ld", static_cast<long>(status));
        endOfStream = true;
        return kResultFailure;
    }
    if (bufferList.buffers[0].byteSize > sampleBuffer.dataSize()) {
        // The runtime claims more than the block holds: deliver nothing of it.
        endOfStream = true;
        return kResultFailure;
    }
    if (bufferList.buffers[0].byteSize == 0) {
        // No data is the end of the sound, with the completion flag (the
        // runtime may set it only on the fills after the last data) or
        // without it twice over (reading on would only stall). No empty
        // chunk is handed out, and a seek begins the extraction afresh.
        extractionFlags |= kExtractionComplete;
        QEL_LOG(kAudioReadStream, "QT audio failed with code %ld", 0L);
        endOfStream = true;
        return kResultFailure;
    }
    fillUndelivered = true;
    return kResultSuccess;
}

QtLongStatus ContainerQuickTime::AudioStream::fillWholeBlock()
{
    // The runtime overwrites the byte size with what it delivered: every
    // fill is given the whole block again, or one short fill would shrink
    // every later one (and a fill of 0 bytes stall the stream for good).
    bufferList.buffers[0].byteSize = sampleBuffer.dataSize();
    uint32_t frames = framesPerRead;
    return QtExtractFill(extraction, &frames, &bufferList, &extractionFlags);
}

bool ContainerQuickTime::AudioStream::isReadable() const
{
    return extraction != nullptr && sampleBuffer.dataSize() != 0;
}

bool ContainerQuickTime::AudioStream::isTrailingClock()
{
    return clock && clock->isRunning() && (readSpeed < 0 || readMode == kReadModeSyncSamples);
}

void ContainerQuickTime::AudioStream::seekBehindClock()
{
    // A clock within the first 10 ms trails to the start, not to a time
    // wrapped around below 0.
    const int32_t now = clock->getTime();
    const uint32_t target = now > kClockLagMs ? uint32_t(now - kClockLagMs) : 0;
    uint32_t reached = 0;
    seekStream(target, &reached, 0);
}

MediaChunk* ContainerQuickTime::AudioStream::deliverChunk(uint32_t size)
{
    std::unique_ptr<unsigned char[]> copy(new unsigned char[size]);
    std::memcpy(copy.get(), sampleBuffer.lockData(), size);
    sampleBuffer.unlockData();
    MediaChunk* chunk = container->allocator->createChunk(copy.get(), size);
    copy.release();

    const uint32_t start = static_cast<uint32_t>(bytePosition * 1000u / bytesPerSecond);
    const uint32_t duration = size * 1000u / bytesPerSecond;
    chunk->startTime = start;
    chunk->duration = duration;
    bytePosition += size;
    QEL_LOG(kAudioReadStream, "QT audio bytes read: %llu s: %u t: %u d: %u",
            static_cast<unsigned long long>(bytePosition), chunk->dataLength(), start, duration);
    position = start + duration;
    return chunk;
}

} // namespace Qel
