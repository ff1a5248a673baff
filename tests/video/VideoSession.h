// A video stream of a synthetic movie, reached the way a host reaches it:
// the plug-in module, the container, its one title and the stream that the
// container hands to the recording host. The log of the whole session is
// captured, and frames are read back as copies, with the chunk released.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ContainerSession.h"
#include "HostClocks.h"
#include "LogCapture.h"
#include "TempFolder.h"
#include "synthetic/SyntheticPattern.h"
#include "media/MediaChunk.h"
#include "plugin/ResultCodes.h"
#include "streams/StreamInterface.h"

namespace Qel::Testing {

constexpr char kReadFunction[] = "Qel::ContainerQuickTime::VideoStream::readStream";
constexpr char kOpenFunction[] = "Qel::ContainerQuickTime::VideoStream::openStream";
constexpr char kSeekFunction[] = "Qel::ContainerQuickTime::VideoStream::seekStream";
constexpr char kSyncFunction[] = "Qel::ContainerQuickTime::VideoStream::getSyncPoint";

// A movie of one video track. video is the body of the track's "video"
// object and table its whole "samples" value (an object or a list); extra
// is appended to the track object, faults is the body of the movie's
// "faults" list.
inline std::string videoMovieWithTable(const std::string& video, const std::string& table,
                                       const std::string& extra = "", const std::string& faults = "",
                                       int timeScale = 600)
{
    return R"({"qelSyntheticMovie": 1, "timeScale": )" + std::to_string(timeScale) +
           R"(, "tracks": [{"type": "vide", "video": {)" + video + R"(}, "samples": )" + table + extra +
           R"(}], "faults": [)" + faults + "]}";
}

// The same with samples, the body of the "samples" object.
inline std::string videoMovie(const std::string& video, const std::string& samples, const std::string& extra = "",
                              const std::string& faults = "", int timeScale = 600)
{
    return videoMovieWithTable(video, "{" + samples + "}", extra, faults, timeScale);
}

// The runtime's failure line for a status: the status, in hexadecimal, and
// its four bytes lowest first (a zero byte included).
inline std::string qtFailureLine(long status)
{
    const uint32_t bits = uint32_t(status);
    char head[48];
    std::snprintf(head, sizeof head, "failed with code %ld 0x%04X ", status, unsigned(bits));
    std::string line = head;
    for (int shift = 0; shift < 32; shift += 8)
        line.push_back(char((bits >> shift) & 0xFF));
    return line;
}

// The frame that sample `sample` of the pattern must arrive as, in one of
// the four output formats, rows unpadded.
inline std::vector<uint8_t> expectedFrame(const std::string& output, int32_t width, int32_t height, int32_t sample)
{
    using namespace QelRuntime::SyntheticPattern;
    if (output == "YUY2")
        return expectedPicture(kYuy2, 24, width, height, 2 * width, sample);
    if (output == "UYVY")
        return expectedPicture(kUyvy, 24, width, height, 2 * width, sample);
    if (output == "ARGB")
        return expectedPicture(kArgb, 32, width, height, 4 * width, sample);
    // "YV12": the luma plane, then V and U at half the width and height
    // (rounded down), in a frame of 12 bits per pixel whose bytes beyond
    // them (odd sides) are zero.
    std::vector<uint8_t> frame;
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            frame.push_back(lumaAt(x, y, sample));
    for (auto chroma : {chromaVAt, chromaUAt})
        for (int32_t y = 0; y < height / 2; ++y)
            for (int32_t x = 0; x < width / 2; ++x)
                frame.push_back(chroma(2 * x, 2 * y, sample));
    frame.resize(size_t(width) * size_t(height) * 12 / 8, 0);
    return frame;
}

struct Frame {
    int32_t result = -1;
    bool delivered = false;
    std::vector<uint8_t> bytes;
    uint32_t startTime = 0;
    uint32_t duration = 0;
};

// Which sample a delivered frame holds, and every byte of it checked.
inline void expectSample(const Frame& frame, const std::string& output, int32_t width, int32_t height, int32_t sample)
{
    ASSERT_TRUE(frame.delivered) << "no chunk where sample " << sample << " was due";
    const std::vector<uint8_t> expected = expectedFrame(output, width, height, sample);
    ASSERT_EQ(frame.bytes.size(), expected.size());
    for (size_t at = 0; at < expected.size(); ++at) {
        ASSERT_EQ(int(frame.bytes[at]), int(expected[at]))
            << output << " frame differs at byte " << at << " of " << expected.size() << "; expected sample "
            << sample;
    }
}

class VideoSession {
public:
    explicit VideoSession(const std::string& movie, bool openVideo = true)
    {
        session.initialize();
        if (session.open(folder.write("movie.json", movie)) != kResultSuccess ||
            session.container->openTitle(session.onlyTitle()) != kResultSuccess) {
            ADD_FAILURE() << "the movie did not open";
            return;
        }
        for (StreamInterface* candidate : session.containerHost.streams()) {
            if (candidate->getKind() == 272)
                stream = candidate;
        }
        if (!stream) {
            ADD_FAILURE() << "no video stream";
            return;
        }
        if (openVideo) {
            EXPECT_EQ(stream->openStream(&clock), kResultSuccess);
        }
    }

    Frame read()
    {
        Frame frame;
        MediaChunk* chunk = reinterpret_cast<MediaChunk*>(uintptr_t(1));
        frame.result = stream->readStream(&chunk);
        if (chunk) {
            frame.delivered = true;
            const unsigned char* bytes = chunk->lockData();
            frame.bytes.assign(bytes, bytes + chunk->dataLength());
            chunk->unlockData();
            frame.startTime = chunk->startTime;
            frame.duration = chunk->duration;
            chunk->release();
        }
        return frame;
    }

    // The sample held by the next frame, or -1 when none is delivered.
    int32_t readSampleIndex()
    {
        const Frame frame = read();
        if (!frame.delivered || frame.bytes.empty())
            return -1;
        const std::string output = formatText();
        const size_t lumaOffset = output == "ARGB" || output == "UYVY" ? 1 : 0;
        return QelRuntime::SyntheticPattern::sampleIndexFromLuma(frame.bytes[lumaOffset]);
    }

    // The session's first stream of another kind (288: sound), not opened.
    StreamInterface* otherStream(int32_t kind)
    {
        for (StreamInterface* candidate : session.containerHost.streams())
            if (candidate->getKind() == kind)
                return candidate;
        return nullptr;
    }

    const char* formatText() { return reinterpret_cast<const char*>(stream->getFormat()); }

    std::vector<std::string> messages(const char* function) const { return log.messages(function); }

    LogCapture log;  // first, so that it sees every line
    TempFolder folder;
    Host::ScriptedClock clock;  // outlives the streams
    ContainerSession session;
    StreamInterface* stream = nullptr;
};

} // namespace Qel::Testing
