// Reading the extraction from start to end, seeking within it, and
// rewinding: the samples delivered are the runtime's signal, sample for
// sample, at the times the chunks carry.
#include <algorithm>

#include "AudioStreamTest.h"
#include "LogCapture.h"
#include "ScopedRuntimeModes.h"

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

struct SeekScale {
    int32_t sampleRate;
    int32_t timeScale;
};

class AudioSeekScale : public AudioStreamTest, public ::testing::WithParamInterface<SeekScale> {};

// The runtime reports the time a seek reached in the output sample rate,
// not in the movie's scale the seek was asked in.
TEST_P(AudioSeekScale, ReportsAndStampsTheTimeReachedWhateverScaleItComesBackIn)
{
    const SeekScale scale = GetParam();
    open(soundMovie(scale.sampleRate, 2, int64_t(scale.sampleRate) * 4, "", scale.timeScale));
    const uint64_t bytesPerSecond = uint64_t(scale.sampleRate) * 4;
    for (const uint32_t target : {2500u, 1250u}) {
        SCOPED_TRACE(target);
        uint32_t reached = 0;
        ASSERT_EQ(stream->seekStream(target, &reached, 0), kResultSuccess);
        EXPECT_EQ(reached, target);
        EXPECT_EQ(stream->getPosition(), target);
        const uint64_t bytes = bytesPerSecond * target / 1000;
        ReadChunk first = read();
        ReadChunk second = read();
        ASSERT_TRUE(first.delivered && second.delivered);
        EXPECT_EQ(first.start, target);
        EXPECT_TRUE(matchesSignal(first.samples, int64_t(bytes / 4), 2, 2, false));
        EXPECT_EQ(second.start, uint32_t((bytes + first.size) * 1000 / bytesPerSecond));
    }
}

INSTANTIATE_TEST_SUITE_P(SampleRatesAgainstMovieScales, AudioSeekScale,
                         ::testing::Values(SeekScale{44100, 600}, SeekScale{44100, 1000}, SeekScale{44100, 90000},
                                           SeekScale{48000, 600}, SeekScale{48000, 1000}, SeekScale{48000, 90000}),
                         [](const ::testing::TestParamInfo<SeekScale>& info) {
                             return std::to_string(info.param.sampleRate) + "HzIn" +
                                    std::to_string(info.param.timeScale);
                         });

struct EndCase {
    const char* name;
    int64_t frames;        // of 44100 Hz stereo sound
    int64_t movieDuration; // in units of 600 per second
};

class AudioExtractionEnd : public AudioStreamTest,
                           public ::testing::WithParamInterface<std::tuple<EndCase, const char*>> {};

// Rows: where the sound ends; columns: how the runtime ends an extraction
// (the flag with the last data, only on empty fills after it, or after
// silence to the movie's duration). Every chunk holds data, the sound is
// whole, and a single failing read ends it.
TEST_P(AudioExtractionEnd, EndsAfterTheLastSamplesWithoutAnEmptyChunk)
{
    const auto& [end, endMode] = GetParam();
    ScopedRuntimeModes modes(endMode);
    open(R"({"qelSyntheticMovie": 1, "timeScale": 600, "duration": )" + std::to_string(end.movieDuration) +
         R"(, "tracks": [{"type": "soun", "audio": {"sampleRate": 44100, "channels": 2, "frames": )" +
         std::to_string(end.frames) + "}}]}");
    const bool padded = std::string(endMode) == "extractionEnd=silenceToDuration";
    const int64_t expected = padded ? std::max(end.frames, end.movieDuration * 44100 / 600) : end.frames;
    LogCapture log;
    std::vector<int16_t> all;
    ReadChunk chunk;
    for (int reads = 0; reads < 10; ++reads) {
        chunk = read();
        if (!chunk.delivered)
            break;
        EXPECT_NE(chunk.size, 0u);
        EXPECT_EQ(chunk.start, all.size() * 2 * 1000 / kBytesPerSecond);
        all.insert(all.end(), chunk.samples.begin(), chunk.samples.end());
    }
    EXPECT_EQ(chunk.status, kResultFailure);
    EXPECT_TRUE(stream->isEndOfStream());
    ASSERT_EQ(all.size(), size_t(expected) * 2);
    EXPECT_TRUE(matchesSignal(std::vector<int16_t>(all.begin(), all.begin() + end.frames * 2), 0, 2, 2, false));
    EXPECT_TRUE(std::all_of(all.begin() + end.frames * 2, all.end(), [](int16_t value) { return value == 0; }));
    EXPECT_EQ(log.messages(kReadStream).back(), "QT audio failed with code 0");
    EXPECT_EQ(read().status, kResultFailure);

    uint32_t reached = 99;
    ASSERT_EQ(stream->seekStream(0, &reached, 0), kResultSuccess);
    ReadChunk again = read();
    ASSERT_TRUE(again.delivered);
    EXPECT_TRUE(matchesSignal(again.samples, 0, 2, 2, false));
}

INSTANTIATE_TEST_SUITE_P(
    Variants, AudioExtractionEnd,
    ::testing::Combine(::testing::Values(EndCase{"MidChunk", 100000, 1361}, EndCase{"OnAChunk", 98304, 1338},
                                         EndCase{"BeforeTheMovie", 50000, 1200}),
                       ::testing::Values("extractionEnd=emptyFill", "extractionEnd=withLastData",
                                         "extractionEnd=silenceToDuration")),
    [](const ::testing::TestParamInfo<std::tuple<EndCase, const char*>>& info) {
        const std::string mode = std::get<1>(info.param);
        return std::string(std::get<0>(info.param).name) + mode.substr(mode.find('=') + 1);
    });

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
