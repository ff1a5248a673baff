// What the audio tests share: synthetic sound movies, reading one chunk into
// plain values (the chunk is released at once), and comparing delivered
// samples with the runtime's documented signal.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "synthetic/SyntheticPattern.h"
#include "media/MediaChunk.h"
#include "streams/StreamInterface.h"

namespace Qel::Testing {

constexpr int32_t kMovieTimeScale = 600;

// A status whose four bytes are printable, so that the failure line reads
// "failed with code 1094861636 0x41424344 DCBA".
constexpr int32_t kInjectedStatus = 0x41424344;
constexpr char kInjectedFailureLine[] = "failed with code 1094861636 0x41424344 DCBA";

constexpr char kOpenStream[] = "Qel::ContainerQuickTime::AudioStream::openStream";
constexpr char kSeekStream[] = "Qel::ContainerQuickTime::AudioStream::seekStream";
constexpr char kReadStream[] = "Qel::ContainerQuickTime::AudioStream::readStream";

// A movie of one sound track, as long as the track, with the given faults
// (comma-separated JSON objects) and movie time scale.
inline std::string soundMovie(double sampleRate, int channels, int64_t frames, const std::string& faults = "",
                              int32_t timeScale = kMovieTimeScale)
{
    const int64_t duration = int64_t(std::ceil(double(frames) * timeScale / sampleRate));
    return R"({"qelSyntheticMovie": 1, "timeScale": )" + std::to_string(timeScale) +
           R"(, "duration": )" + std::to_string(duration) +
           R"(, "tracks": [{"type": "soun", "audio": {"sampleRate": )" + std::to_string(sampleRate) +
           R"(, "channels": )" + std::to_string(channels) + R"(, "frames": )" + std::to_string(frames) +
           R"(}}], "faults": [)" + faults + "]}";
}

// A fault that makes the nth call of operation (and only that one) answer
// kInjectedStatus.
inline std::string failingCall(const std::string& operation, int nth)
{
    return R"({"operation": ")" + operation + R"(", "status": )" + std::to_string(kInjectedStatus) +
           R"(, "fromCall": )" + std::to_string(nth) + R"(, "calls": 1})";
}

struct ReadChunk {
    int32_t status = 0;
    bool delivered = false;
    uint32_t start = 0;
    uint32_t duration = 0;
    uint32_t size = 0;
    std::vector<int16_t> samples;
};

// One readStream; the chunk's content is copied and the chunk released.
inline ReadChunk readChunk(StreamInterface* stream)
{
    ReadChunk result;
    MediaChunk* const untouched = reinterpret_cast<MediaChunk*>(uintptr_t(1));
    MediaChunk* chunk = untouched;
    result.status = stream->readStream(&chunk);
    if (chunk == untouched)
        ADD_FAILURE() << "readStream left its out argument as it was";
    if (chunk == untouched || !chunk)
        return result;
    result.delivered = true;
    result.start = chunk->startTime;
    result.duration = chunk->duration;
    result.size = chunk->dataSize();
    result.samples.resize(result.size / sizeof(int16_t));
    if (result.size != 0) {
        std::memcpy(result.samples.data(), chunk->lockData(), result.samples.size() * sizeof(int16_t));
        chunk->unlockData();
    }
    chunk->release();
    return result;
}

// Interleaved samples from firstFrame on, as the runtime documents them for
// one track of sourceChannels delivered in outputChannels.
inline ::testing::AssertionResult matchesSignal(const std::vector<int16_t>& samples, int64_t firstFrame,
                                                int32_t sourceChannels, int32_t outputChannels,
                                                bool stereoDownmix)
{
    if (samples.size() % size_t(outputChannels) != 0)
        return ::testing::AssertionFailure() << samples.size() << " samples is no whole number of frames";
    for (size_t i = 0; i < samples.size(); ++i) {
        const int64_t frame = firstFrame + int64_t(i / size_t(outputChannels));
        const int32_t channel = int32_t(i % size_t(outputChannels));
        const int16_t expected =
            QelRuntime::SyntheticPattern::expectedFrame(frame, sourceChannels, outputChannels, stereoDownmix, channel);
        if (samples[i] != expected)
            return ::testing::AssertionFailure() << "frame " << frame << " channel " << channel << ": "
                                                 << samples[i] << " instead of " << expected;
    }
    return ::testing::AssertionSuccess();
}

} // namespace Qel::Testing
