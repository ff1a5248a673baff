// A real movie opened through the plug-in module exactly as a host opens
// it: the module loaded by file name, _getPlugin, the container interface,
// open, the one title and its streams, each stream opened with a stopped
// host clock. The runtime beside the module decodes the file with the
// FFmpeg movie source.
#pragma once

#include "ContainerSession.h"
#include "FfmpegOracle.h"
#include "HostClocks.h"
#include "media/MediaChunk.h"
#include "media/Properties.h"
#include "plugin/ResultCodes.h"
#include "streams/StreamInterface.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace Qel::Testing {

constexpr int32_t kVideoKind = 272;
constexpr int32_t kSoundKind = 288;

// One chunk read from a stream, copied and given back.
struct ReadChunk {
    int32_t result = -1;
    bool delivered = false;
    std::vector<uint8_t> bytes;
    uint32_t startTime = 0;
    uint32_t duration = 0;
};

inline ReadChunk readChunk(StreamInterface* stream)
{
    ReadChunk read;
    MediaChunk* chunk = nullptr;
    read.result = stream->readStream(&chunk);
    if (chunk) {
        read.delivered = true;
        const unsigned char* bytes = chunk->lockData();
        // Sound chunks leave dataLength at 0; their size is the buffer's.
        const size_t size = chunk->dataLength() != 0 ? chunk->dataLength() : chunk->dataSize();
        read.bytes.assign(bytes, bytes + size);
        chunk->unlockData();
        read.startTime = chunk->startTime;
        read.duration = chunk->duration;
        chunk->release();
    }
    return read;
}

// Every chunk a stream delivers until it stops delivering (the end of the
// stream in its read direction), at most limit chunks.
inline std::vector<ReadChunk> readUntilTheEnd(StreamInterface* stream, size_t limit = 1000)
{
    std::vector<ReadChunk> chunks;
    for (ReadChunk chunk = readChunk(stream); chunk.delivered && chunks.size() < limit; chunk = readChunk(stream))
        chunks.push_back(std::move(chunk));
    return chunks;
}

// Interleaved 16-bit samples of sound chunks, one after the other.
inline std::vector<int16_t> samplesOf(const std::vector<ReadChunk>& chunks)
{
    std::vector<int16_t> samples;
    for (const ReadChunk& chunk : chunks) {
        const size_t first = samples.size();
        samples.resize(first + chunk.bytes.size() / 2);
        std::memcpy(samples.data() + first, chunk.bytes.data(), chunk.bytes.size() / 2 * 2);
    }
    return samples;
}

class ModuleMovie {
public:
    explicit ModuleMovie(const std::string& path)
    {
        if (!session.container)
            return;
        session.initialize();
        openResult = session.open(path);
        if (openResult != kResultSuccess)
            return;
        title = session.onlyTitle();
        EXPECT_EQ(session.container->openTitle(title), kResultSuccess);
        for (StreamInterface* stream : session.containerHost.streams())
            (stream->getKind() == kVideoKind ? videos : sounds).push_back(stream);
        for (StreamInterface* stream : session.containerHost.streams())
            EXPECT_EQ(stream->openStream(&clock), kResultSuccess);
    }

    std::string titleName()
    {
        return callByValue(*session.container, &ContainerInterface::getTitleName, title).toStdString();
    }
    std::string formatText(StreamInterface* stream)
    {
        return reinterpret_cast<const char*>(stream->getFormat());
    }
    const ImageProperties& image() { return *static_cast<const ImageProperties*>(videos.at(0)->getProperties()); }
    const AudioProperties& sound(size_t index = 0)
    {
        return *static_cast<const AudioProperties*>(sounds.at(index)->getProperties());
    }

    Host::StoppedClock clock;  // outlives the streams, which the session's host owns
    ContainerSession session;
    int32_t openResult = kResultFailure;
    uint64_t title = 0;
    std::vector<StreamInterface*> videos;
    std::vector<StreamInterface*> sounds;
};


// A movie opened through the module with its one picture and one sound
// stream, beside ffprobe's frames and time base for its pictures. Fixtures
// call open through ASSERT_NO_FATAL_FAILURE: it stops at the first failure.
struct ProbedModuleMovie {
    void open(const std::string& path)
    {
        ASSERT_FALSE(path.empty()) << "ffmpeg could not make the test movie";
        movie = std::make_unique<ModuleMovie>(path);
        ASSERT_EQ(movie->openResult, kResultSuccess);
        // A stream that failed to open describes no picture to compare.
        ASSERT_FALSE(::testing::Test::HasFailure());
        ASSERT_EQ(movie->videos.size(), 1u);
        ASSERT_EQ(movie->sounds.size(), 1u);
        video = movie->videos[0];
        frames = probedVideoFrames(path);
        ASSERT_FALSE(frames.empty());
        timeBase = probedVideoTimeBase(path);
    }

    std::unique_ptr<ModuleMovie> movie;
    StreamInterface* video = nullptr;
    std::vector<ProbedFrame> frames;
    ProbedTimeBase timeBase;
};

} // namespace Qel::Testing
