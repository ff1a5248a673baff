// The output format agreed with the runtime: channel counts, frames per
// read, bytes per second and the chunk times derived from them.
#include "AudioStreamTest.h"
#include "LogCapture.h"
#include "ScopedRuntimeModes.h"

namespace Qel::Testing {
namespace {

using Lines = std::vector<std::string>;

// Rows: channel counts; columns: how the runtime reads the stereo layout
// back once it is set (by its tag, or expanded into a Left and a Right
// description).
class AudioDownmix : public AudioStreamTest,
                     public ::testing::WithParamInterface<std::tuple<int, const char*>> {};

TEST_P(AudioDownmix, MoreThanTwoChannelsOpenAsStereoWithTheRuntimesDownmix)
{
    const auto [channels, layoutMode] = GetParam();
    ScopedRuntimeModes modes(layoutMode);
    LogCapture log;
    open(soundMovie(48000, channels, 40000));
    EXPECT_EQ(log.messages(kOpenStream), (Lines{"QT audio data rate: 48000.000000 chanels: 2"}));
    EXPECT_EQ(properties().channels, 2u);
    EXPECT_EQ(properties().bitsPerSample, 16u);
    EXPECT_EQ(properties().sampleRate, 48000);

    // 32768 frames of 4 bytes fill the 128 KiB block exactly.
    ReadChunk chunk = read();
    ASSERT_TRUE(chunk.delivered);
    EXPECT_EQ(chunk.size, 131072u);
    EXPECT_TRUE(matchesSignal(chunk.samples, 0, channels, 2, true));
    EXPECT_EQ(chunk.duration, 131072u * 1000 / 192000);
}

INSTANTIATE_TEST_SUITE_P(LayoutReadBack, AudioDownmix,
                         ::testing::Combine(::testing::Values(3, 6, 8),
                                            ::testing::Values("layout=expanded", "layout=asSet")),
                         [](const ::testing::TestParamInfo<std::tuple<int, const char*>>& info) {
                             const std::string mode = std::get<1>(info.param);
                             return std::to_string(std::get<0>(info.param)) + "Channels" +
                                    (mode == "layout=expanded" ? "Expanded" : "AsSet");
                         });

TEST_F(AudioStreamTest, MonoStaysMonoWithTwiceTheFramesPerRead)
{
    open(soundMovie(44100, 1, 70000));
    EXPECT_EQ(properties().channels, 1u);

    ReadChunk first = read();
    ASSERT_TRUE(first.delivered);
    EXPECT_EQ(first.samples.size(), 65536u);
    EXPECT_TRUE(matchesSignal(first.samples, 0, 1, 1, false));
    ReadChunk rest = read();
    EXPECT_EQ(rest.samples.size(), 70000u - 65536u);
    EXPECT_TRUE(matchesSignal(rest.samples, 65536, 1, 1, false));
}

TEST_F(AudioStreamTest, StereoAt44100HzStampsChunksFromTheBytesDelivered)
{
    open(soundMovie(44100, 2, 100000));
    ReadChunk first = read();
    ReadChunk second = read();
    EXPECT_EQ(first.size, 131072u);
    EXPECT_EQ(first.start, 0u);
    EXPECT_EQ(first.duration, 743u);  // 131072 bytes at 176400 bytes per second
    EXPECT_EQ(second.start, 743u);
    EXPECT_EQ(stream->getPosition(), 743u + 743u);
}

TEST_F(AudioStreamTest, FractionalRateIsTruncatedInThePropertiesButNotInTheTimes)
{
    LogCapture log;
    open(soundMovie(22050.5, 1, 200000));
    EXPECT_EQ(log.messages(kOpenStream), (Lines{"QT audio data rate: 22050.500000 chanels: 1"}));
    EXPECT_EQ(properties().sampleRate, 22050);

    // 44101 bytes per second: each start is computed from all bytes so far,
    // so the third chunk starts at 5944 ms, not at twice 2972.
    std::vector<uint32_t> starts;
    for (int i = 0; i < 3; ++i)
        starts.push_back(read().start);
    EXPECT_EQ(starts, (std::vector<uint32_t>{0, 2972, 5944}));
}

} // namespace
} // namespace Qel::Testing
