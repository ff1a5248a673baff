// Reading the extraction from start to end, seeking within it, and
// rewinding: the samples delivered are the runtime's signal, sample for
// sample, at the times the chunks carry.
#include <algorithm>

#include "AudioStreamTest.h"
#include "LogCapture.h"

namespace Qel::Testing {
namespace {

using Lines = std::vector<std::string>;

constexpr int64_t kFrames = 100000;
constexpr uint64_t kBytesPerSecond = 176400;  // 44100 Hz stereo

TEST_F(AudioStreamTest, ChunksAreContinuousToTheEndWhichFailsOneReadAndASeekResumes)
{
    open(soundMovie(44100, 2, kFrames));
    LogCapture log;
    std::vector<int16_t> all;
    uint64_t bytesBefore = 0;
    ReadChunk chunk;
    for (int reads = 0; reads < 10; ++reads) {
        chunk = read();
        if (!chunk.delivered)
            break;
        EXPECT_EQ(chunk.status, kResultSuccess);
        EXPECT_EQ(chunk.start, bytesBefore * 1000 / kBytesPerSecond);
        bytesBefore += chunk.size;
        all.insert(all.end(), chunk.samples.begin(), chunk.samples.end());
    }
    EXPECT_EQ(chunk.status, kResultFailure);
    EXPECT_TRUE(stream->isEndOfStream());
    EXPECT_EQ(all.size(), size_t(kFrames) * 2);
    EXPECT_TRUE(matchesSignal(all, 0, 2, 2, false));
    Lines messages = log.messages(kReadStream);
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back(), "QT audio failed with code 0");
    EXPECT_EQ(std::count(messages.begin(), messages.end(), "QT audio failed with code 0"), 1);

    uint32_t reached = 99;
    EXPECT_EQ(stream->seekStream(0, &reached, 0), kResultSuccess);
    EXPECT_EQ(reached, 0u);
    EXPECT_FALSE(stream->isEndOfStream());
    ReadChunk again = read();
    ASSERT_TRUE(again.delivered);
    EXPECT_EQ(again.start, 0u);
    EXPECT_TRUE(matchesSignal(again.samples, 0, 2, 2, false));
}

TEST_F(AudioStreamTest, ASeekLandsWhereTheRuntimeReportsAndReadingGoesOnFromThere)
{
    open(soundMovie(44100, 2, kFrames));
    read();
    LogCapture log;
    // 1001 ms is 600.6 units at 600 per second: the runtime lands on 600.
    uint32_t reached = 0;
    EXPECT_EQ(stream->seekStream(1001, &reached, 0), kResultSuccess);
    EXPECT_EQ(reached, 1000u);
    EXPECT_EQ(stream->getPosition(), 1000u);
    EXPECT_EQ(log.messages(kSeekStream), (Lines{"QT audio seeking to: 1001", "QT audio sook to t: 1000 b: 176400"}));
    ReadChunk middle = read();
    EXPECT_EQ(middle.start, 1000u);
    EXPECT_TRUE(matchesSignal(middle.samples, 44100, 2, 2, false));

    EXPECT_EQ(stream->seekStream(0, &reached, 0), kResultSuccess);
    EXPECT_EQ(reached, 0u);
    EXPECT_EQ(stream->getPosition(), 0u);
    ReadChunk start = read();
    EXPECT_EQ(start.start, 0u);
    EXPECT_TRUE(matchesSignal(start.samples, 0, 2, 2, false));
}

// Eight hours of 44100 Hz stereo: past 24 s the byte position times 1000
// passes 32 bits, past 6.7 hours the byte position itself does. Each seek
// lands where the runtime reports and the chunks after it carry the exact
// times of their first bytes and the signal from the frame reached.
TEST_F(AudioStreamTest, ChunksFarIntoALongMovieCarryTheirExactTimesAndSamples)
{
    constexpr int64_t kEightHours = 44100LL * 3600 * 8;
    open(soundMovie(44100, 2, kEightHours));
    EXPECT_EQ(stream->getDuration(), 8u * 3600 * 1000);
    for (const uint32_t seekMs : {30000u, 2400000u, 25200000u, 28790000u}) {
        SCOPED_TRACE(seekMs);
        uint32_t reached = 0;
        ASSERT_EQ(stream->seekStream(seekMs, &reached, 0), kResultSuccess);
        EXPECT_EQ(reached, seekMs);
        uint64_t bytes = kBytesPerSecond * seekMs / 1000;
        for (int reads = 0; reads < 3; ++reads) {
            ReadChunk chunk = read();
            ASSERT_TRUE(chunk.delivered);
            EXPECT_EQ(chunk.start, uint32_t(bytes * 1000 / kBytesPerSecond));
            EXPECT_EQ(chunk.duration, uint32_t(chunk.size * 1000 / kBytesPerSecond));
            EXPECT_TRUE(matchesSignal(chunk.samples, int64_t(bytes / 4), 2, 2, false));
            bytes += chunk.size;
            EXPECT_EQ(stream->getPosition(), chunk.start + chunk.duration);
        }
    }
}

TEST_F(AudioStreamTest, RewindGoesToTheStartForwardsAndToTheEndOtherwise)
{
    open(soundMovie(44100, 2, kFrames));
    ASSERT_TRUE(stream->setReadSpeed(1000));
    read();
    read();
    EXPECT_EQ(stream->rewindStream(), kResultSuccess);
    ReadChunk first = read();
    EXPECT_EQ(first.start, 0u);
    EXPECT_TRUE(matchesSignal(first.samples, 0, 2, 2, false));

    LogCapture log;
    ASSERT_TRUE(stream->setReadSpeed(0));
    EXPECT_EQ(stream->rewindStream(), kResultSuccess);
    Lines messages = log.messages(kSeekStream);
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.front(), "QT audio seeking to: " + std::to_string(stream->getDuration()));
}

} // namespace
} // namespace Qel::Testing
