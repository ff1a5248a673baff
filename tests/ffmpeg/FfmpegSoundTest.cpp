// Sound of real movies: PCM against ffmpeg's own decode, sample-accurate
// seeks, the true end, the stereo downmix and the mixing of two tracks.
#include "sound/FfmpegAudioExtraction.h"
#include "FfmpegMovie.h"
#include "FfmpegOracle.h"
#include "TestMovies.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace Qel::Testing {
namespace {

using namespace QelRuntime;

std::vector<int16_t> readAll(FfmpegAudioExtraction& extraction, int channels)
{
    std::vector<int16_t> pcm;
    std::vector<int16_t> chunk(4096 * size_t(channels));
    bool complete = false;
    for (int reads = 0; !complete && reads < 100000; ++reads) {
        const size_t frames = extraction.fill(chunk.data(), 4096, complete);
        pcm.insert(pcm.end(), chunk.begin(), chunk.begin() + long(frames * size_t(channels)));
    }
    EXPECT_TRUE(complete);
    return pcm;
}

std::unique_ptr<FfmpegAudioExtraction> extractionOf(const FfmpegMovie& movie, std::vector<size_t> tracks,
                                                    int rate, int channels)
{
    QtStatus status = -1;
    auto extraction = FfmpegAudioExtraction::open(movie, tracks, rate, channels, status);
    EXPECT_EQ(status, 0);
    return extraction;
}

class FfmpegSoundTest : public ::testing::TestWithParam<TestMovie> {
protected:
    void SetUp() override
    {
        path = GetParam().path();
        movie = FfmpegMovie::open(path);
        ASSERT_NE(movie, nullptr);
        extraction = extractionOf(*movie, {1}, 44100, 2);
        ASSERT_NE(extraction, nullptr);
    }

    std::string path;
    std::unique_ptr<FfmpegMovie> movie;
    std::unique_ptr<FfmpegAudioExtraction> extraction;
};

// Our time 0 is the earliest start of any track: sound that starts before
// the first picture (MPEG) is kept whole, and sound that starts after it
// follows silence.
TEST_P(FfmpegSoundTest, PcmMatchesFfmpegsDecode)
{
    const std::vector<int16_t> ours = readAll(*extraction, 2);
    const std::vector<int16_t> decoded = decodedSound(path, 2);
    const StreamStarts starts = streamStarts(path);
    std::vector<int16_t> theirs(size_t(std::lround((starts.sound - starts.movie()) * 44100)) * 2, 0);
    theirs.insert(theirs.end(), decoded.begin(), decoded.end());
    const long ourFrames = long(ours.size() / 2);
    const long theirFrames = long(theirs.size() / 2);
    EXPECT_LE(std::labs(ourFrames - theirFrames), GetParam().soundPacketFrames);
    const size_t common = size_t(std::min(ourFrames, theirFrames)) * 2;
    EXPECT_LE(maximumDifference(ours.data(), theirs.data(), common), GetParam().soundTolerance);
}

TEST_P(FfmpegSoundTest, SeeksAreSampleAccurate)
{
    const std::vector<int16_t> reference = readAll(*extraction, 2);
    std::vector<int16_t> chunk(2048 * 2);
    for (int64_t frame : {1, 12345, 40000, 70001, 3}) {
        SCOPED_TRACE("frame " + std::to_string(frame));
        extraction->seek(frame);
        bool complete = true;
        ASSERT_EQ(extraction->fill(chunk.data(), 2048, complete), 2048u);
        EXPECT_FALSE(complete);
        EXPECT_LE(maximumDifference(chunk.data(), reference.data() + frame * 2, chunk.size()),
                  GetParam().soundTolerance);
    }
}

TEST_P(FfmpegSoundTest, CompletionComesAtTheTrueEndAndASeekResumes)
{
    const std::vector<int16_t> reference = readAll(*extraction, 2);
    std::vector<int16_t> chunk(1024 * 2);
    bool complete = false;
    EXPECT_EQ(extraction->fill(chunk.data(), 1024, complete), 0u);
    EXPECT_TRUE(complete);
    const size_t lastFrames = 100;
    extraction->seek(int64_t(reference.size() / 2 - lastFrames));
    EXPECT_EQ(extraction->fill(chunk.data(), 1024, complete), lastFrames);
    EXPECT_TRUE(complete);
}

INSTANTIATE_TEST_SUITE_P(RealMovies, FfmpegSoundTest, ::testing::ValuesIn(kTestMovies),
                         [](const auto& info) { return std::string(info.param.name); });

// Each channel of a 5.1 stream carries its own tone (FL FR FC LFE BL BR).
TEST(FfmpegSoundMixing, StereoDownmixKeepsDialogueThreeDecibelsDown)
{
    auto movie = FfmpegMovie::open(surroundMov(0.25));
    ASSERT_NE(movie, nullptr);
    auto extraction = extractionOf(*movie, {0}, 48000, 2);
    ASSERT_NE(extraction, nullptr);
    const std::vector<int16_t> pcm = readAll(*extraction, 2);
    EXPECT_EQ(pcm.size(), 48000u * 2);
    // Expected amplitude of each source channel in the left and right outputs.
    const double kFull = 0.25, kHalfPower = 0.25 * 0.7071;
    const double left[6] = {kFull, 0, kHalfPower, 0, kHalfPower, 0};
    const double right[6] = {0, kFull, kHalfPower, 0, 0, kHalfPower};
    for (int channel = 0; channel < 6; ++channel) {
        SCOPED_TRACE("source channel " + std::to_string(channel));
        EXPECT_NEAR(toneAmplitude(pcm, 2, 0, 48000, kSurroundTones[channel]), left[channel], 0.01);
        EXPECT_NEAR(toneAmplitude(pcm, 2, 1, 48000, kSurroundTones[channel]), right[channel], 0.01);
    }
}

TEST(FfmpegSoundMixing, LoudDownmixIsLimitedNotClipped)
{
    auto movie = FfmpegMovie::open(surroundMov(0.9));
    ASSERT_NE(movie, nullptr);
    auto extraction = extractionOf(*movie, {0}, 48000, 2);
    ASSERT_NE(extraction, nullptr);
    const std::vector<int16_t> pcm = readAll(*extraction, 2);
    int peak = 0;
    for (int16_t sample : pcm)
        peak = std::max(peak, std::abs(int(sample)));
    EXPECT_LE(peak, int(FfmpegAudioExtraction::kLimiterCeiling * 32768) + 1);
    EXPECT_GT(peak, 20000);
    // The limiter scales whole frames: the balance of the mix is kept.
    const double front = toneAmplitude(pcm, 2, 0, 48000, kSurroundTones[0]);
    const double centre = toneAmplitude(pcm, 2, 0, 48000, kSurroundTones[2]);
    EXPECT_NEAR(centre / front, 0.7071, 0.05);
}

// Half a second over full scale, then a quiet tone: once the limiter has
// recovered, the quiet tone comes out exactly as decoded.
TEST(FfmpegSoundMixing, LimiterReturnsToUnityGainAfterALoudPassage)
{
    const std::string path = testMedia("loud-then-quiet.mov",
                                       "-f lavfi -i 'aevalsrc=if(lt(t\\,0.5)\\,1.2\\,0.25)*sin(2*PI*440*t):"
                                       "c=stereo:s=48000:d=2' -c:a pcm_s16le");
    auto movie = FfmpegMovie::open(path);
    ASSERT_NE(movie, nullptr);
    auto extraction = extractionOf(*movie, {0}, 48000, 2);
    ASSERT_NE(extraction, nullptr);
    const std::vector<int16_t> pcm = readAll(*extraction, 2);
    const std::vector<int16_t> decoded = decodedSound(path, 2);
    ASSERT_EQ(pcm.size(), decoded.size());
    const size_t recovered = 2 * 72000;  // 1.5 s
    EXPECT_EQ(maximumDifference(pcm.data() + recovered, decoded.data() + recovered, pcm.size() - recovered), 0);
    // The loud passage itself was limited.
    EXPECT_LE(*std::max_element(pcm.begin(), pcm.begin() + 48000), int(FfmpegAudioExtraction::kLimiterCeiling * 32768) + 1);
}

TEST(FfmpegSoundMixing, TwoSoundTracksAreMixed)
{
    auto movie = FfmpegMovie::open(twoSoundMp4());
    ASSERT_NE(movie, nullptr);
    auto extraction = extractionOf(*movie, {1, 2}, 44100, 2);
    ASSERT_NE(extraction, nullptr);
    const std::vector<int16_t> pcm = readAll(*extraction, 2);
    for (int channel : {0, 1}) {
        EXPECT_NEAR(toneAmplitude(pcm, 2, channel, 44100, 440), 0.125, 0.01);
        EXPECT_NEAR(toneAmplitude(pcm, 2, channel, 44100, 660), 0.125, 0.01);
    }
}

} // namespace
} // namespace Qel::Testing
