// Real movies through the plug-in module, as a host drives it: the streams
// and their formats, every frame's time and picture, backward reading,
// seeks and sync-sample mode against ffprobe and ffmpeg's own decode; the
// sound against ffmpeg's decode to 16-bit stereo.
#include "FfmpegOracle.h"
#include "ModuleSession.h"
#include "TestMovies.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace Qel::Testing {
namespace {

constexpr int kWidth = 160;
constexpr int kHeight = 120;
constexpr size_t kYuyvBytes = kWidth * kHeight * 2;

class ModuleEndToEndTest : public ::testing::TestWithParam<TestMovie>, protected ProbedModuleMovie {
protected:
    void SetUp() override
    {
        path = GetParam().path();
        ASSERT_NO_FATAL_FAILURE(open(path));
        leadTicks = std::llround(streamStarts(path).soundLead() * timeBase.den / timeBase.num);
    }

    // ffprobe's frame i in the movie, in ticks of the video's time base: time
    // 0 is the earliest start, where sound leads the pictures (MPEG), and the
    // first picture keeps its own start after it.
    int64_t movieTicks(size_t i) const { return frames[i].pts - frames[0].pts + leadTicks; }
    // The same in ms, truncated as the streams truncate their times.
    uint32_t milliseconds(int64_t ticks) const { return uint32_t(ticks * timeBase.num * 1000 / timeBase.den); }
    uint32_t frameStart(size_t i) const { return milliseconds(movieTicks(i)); }
    uint32_t frameDuration(size_t i) const
    {
        const int64_t end = i + 1 < frames.size() ? movieTicks(i + 1) : movieTicks(i) + frames[i].duration;
        return milliseconds(end - movieTicks(i));
    }

    std::vector<ReadChunk> forwardPictures()
    {
        EXPECT_EQ(video->rewindStream(), kResultSuccess);
        std::vector<ReadChunk> pictures = readUntilTheEnd(video);
        EXPECT_EQ(pictures.size(), frames.size());
        return pictures;
    }

    std::string path;
    int64_t leadTicks = 0;
};

TEST_P(ModuleEndToEndTest, StreamsAndTheirFormats)
{
    // Every source format here is decompressed to, or already is, 'yuvs'.
    EXPECT_EQ(movie->formatText(video), "YUY2");
    EXPECT_EQ(movie->image().width, kWidth);
    EXPECT_EQ(movie->image().height, kHeight);
    const StreamFormat* sound = movie->sounds[0]->getFormat();
    EXPECT_EQ(sound->code, 1u);
    EXPECT_EQ(sound->kind, 2u);
    EXPECT_EQ(movie->sound().sampleRate, 44100);
    EXPECT_EQ(movie->sound().channels, 2u);
    EXPECT_EQ(movie->sound().bitsPerSample, 16u);
    EXPECT_NEAR(video->getDuration(), 2000, 100);
}

// Pictures compared with ffmpeg's decode to yuyv422: identical, except
// Motion JPEG, whose full-range pictures are converted to video range by a
// different path (at least 45 dB, TestMovies.h).
TEST_P(ModuleEndToEndTest, ForwardFramesMatchFfprobesTimesAndFfmpegsPictures)
{
    const std::vector<uint8_t> expected = decodedPictures(path, "yuyv422");
    ASSERT_EQ(expected.size(), frames.size() * kYuyvBytes);
    const std::vector<ReadChunk> pictures = forwardPictures();
    ASSERT_EQ(pictures.size(), frames.size());
    for (size_t i = 0; i < frames.size(); ++i) {
        SCOPED_TRACE("frame " + std::to_string(i));
        EXPECT_EQ(pictures[i].startTime, frameStart(i));
        EXPECT_EQ(pictures[i].duration, frameDuration(i));
        ASSERT_EQ(pictures[i].bytes.size(), kYuyvBytes);
        EXPECT_GE(psnr(pictures[i].bytes.data(), expected.data() + i * kYuyvBytes, kYuyvBytes),
                  GetParam().pictureMinimumPsnr);
    }
    EXPECT_TRUE(video->isEndOfStream());
}

TEST_P(ModuleEndToEndTest, BackwardReadingDeliversTheForwardPicturesInReverse)
{
    const std::vector<ReadChunk> forward = forwardPictures();
    ASSERT_TRUE(video->setReadSpeed(-1000));
    ASSERT_EQ(video->rewindStream(), kResultSuccess);
    const std::vector<ReadChunk> backward = readUntilTheEnd(video);
    ASSERT_EQ(backward.size(), forward.size());
    for (size_t i = 0; i < forward.size(); ++i) {
        const ReadChunk& expected = forward[forward.size() - 1 - i];
        EXPECT_EQ(backward[i].startTime, expected.startTime) << "picture " << i << " from the end";
        EXPECT_TRUE(backward[i].bytes == expected.bytes) << "picture " << i << " from the end";
    }
    EXPECT_TRUE(video->isEndOfStream());
}

// A seek into the middle of any frame lands on the last key frame ffprobe
// lists that starts before the seek's time in movie units, and the picture
// read next is that key frame's. Where the time scale has one unit per frame
// (AVI), the middle of a key frame is its start in units, and the seek
// lands on the key frame before.
TEST_P(ModuleEndToEndTest, SeeksLandOnTheKeyFrames)
{
    const std::vector<ReadChunk> forward = forwardPictures();
    ASSERT_EQ(forward.size(), frames.size());
    const int64_t scale = GetParam().timeScale;
    const auto units = [&](size_t frame) {
        return movieTicks(frame) * timeBase.num * scale / timeBase.den;
    };
    for (size_t i = 1; i < frames.size(); i += 3) {
        const uint32_t target = frameStart(i) + frameDuration(i) / 2;
        size_t key = 0;
        for (size_t k = 0; k < frames.size() && units(k) < scale * target / 1000; ++k)
            key = frames[k].key ? k : key;
        SCOPED_TRACE("into frame " + std::to_string(i));
        uint32_t actual = 0;
        ASSERT_EQ(video->seekStream(target, &actual, 0), kResultSuccess);
        EXPECT_EQ(actual, frameStart(key));
        const ReadChunk picture = readChunk(video);
        EXPECT_EQ(picture.startTime, frameStart(key));
        EXPECT_TRUE(picture.bytes == forward[key].bytes);
    }
}

TEST_P(ModuleEndToEndTest, SyncSampleModeDeliversTheKeyFramesOnly)
{
    const std::vector<ReadChunk> forward = forwardPictures();
    ASSERT_TRUE(video->setReadMode(2));
    ASSERT_EQ(video->rewindStream(), kResultSuccess);
    const std::vector<ReadChunk> keys = readUntilTheEnd(video);
    std::vector<uint32_t> expected;
    for (size_t i = 0; i < frames.size(); ++i) {
        if (frames[i].key)
            expected.push_back(frameStart(i));
    }
    std::vector<uint32_t> starts;
    for (const ReadChunk& picture : keys)
        starts.push_back(picture.startTime);
    EXPECT_EQ(starts, expected);
}

// The sound from our time 0 against ffmpeg's decode: as many frames within
// one packet, and the same samples within the tolerance of TestMovies.h;
// then again after a seek. In these movies the sound starts no later than
// the pictures, so at time 0.
TEST_P(ModuleEndToEndTest, SoundMatchesFfmpegsDecode)
{
    StreamInterface* sound = movie->sounds[0];
    const std::vector<int16_t> ours = samplesOf(readUntilTheEnd(sound));
    EXPECT_TRUE(sound->isEndOfStream());
    const std::vector<int16_t> theirs = decodedSound(path, 2);
    EXPECT_LE(std::labs(long(ours.size() / 2) - long(theirs.size() / 2)), GetParam().soundPacketFrames);
    const size_t common = std::min(ours.size(), theirs.size());
    EXPECT_LE(maximumDifference(ours.data(), theirs.data(), common), GetParam().soundTolerance);

    // The seek reaches the sound frame at the time's whole movie units, and
    // reports that time back in whole units.
    const int64_t scale = GetParam().timeScale;
    uint32_t actual = 0;
    ASSERT_EQ(sound->seekStream(1234, &actual, 0), kResultSuccess);
    EXPECT_NEAR(actual, 1234, 1000 / scale + 1);
    const std::vector<int16_t> afterSeek = samplesOf({readChunk(sound)});
    const size_t first = size_t(scale * 1234 / 1000 * 44100 / scale) * 2;
    ASSERT_GE(theirs.size(), first + afterSeek.size());
    EXPECT_LE(maximumDifference(afterSeek.data(), theirs.data() + first, afterSeek.size()),
              GetParam().soundTolerance);
}

INSTANTIATE_TEST_SUITE_P(RealMovies, ModuleEndToEndTest, ::testing::ValuesIn(kTestMovies),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ModuleEndToEnd, TitleComesFromTheMoviesName)
{
    ModuleMovie titled(h264Mp4());
    ASSERT_EQ(titled.openResult, kResultSuccess);
    EXPECT_EQ(titled.titleName(), "Harbour");
}

TEST(ModuleEndToEnd, PanoramaMoviesAreRefused)
{
    ModuleMovie panorama(contentTypeMov("qtvr"));
    EXPECT_EQ(panorama.openResult, kResultFailure);
}

// Each channel of the 5.1 source carries its own tone; the stereo mix keeps
// the front channels whole, the centre and surrounds 3 dB down, and leaves
// out the LFE.
TEST(ModuleEndToEnd, SurroundSoundArrivesAsAStereoMix)
{
    ModuleMovie surround(surroundMov(0.25));
    ASSERT_EQ(surround.openResult, kResultSuccess);
    ASSERT_TRUE(surround.videos.empty());
    ASSERT_EQ(surround.sounds.size(), 1u);
    EXPECT_EQ(surround.sound().sampleRate, 48000);
    EXPECT_EQ(surround.sound().channels, 2u);
    const std::vector<int16_t> pcm = samplesOf(readUntilTheEnd(surround.sounds[0]));
    EXPECT_EQ(pcm.size(), 48000u * 2);
    const double kFull = 0.25, kHalfPower = 0.25 * 0.7071;
    const double left[6] = {kFull, 0, kHalfPower, 0, kHalfPower, 0};
    const double right[6] = {0, kFull, kHalfPower, 0, 0, kHalfPower};
    for (int channel = 0; channel < 6; ++channel) {
        SCOPED_TRACE("source channel " + std::to_string(channel));
        EXPECT_NEAR(toneAmplitude(pcm, 2, 0, 48000, kSurroundTones[channel]), left[channel], 0.01);
        EXPECT_NEAR(toneAmplitude(pcm, 2, 1, 48000, kSurroundTones[channel]), right[channel], 0.01);
    }
}

// Each sound track is a stream of its own; the runtime's extraction mixes
// the tracks that are enabled when it begins. ffmpeg marks only the first
// sound track enabled, and opening a stream enables its track: the first
// stream, opened first, carries its own track alone; the second, opened
// with both enabled, the mix. The tracks are mono, and so is the mix.
TEST(ModuleEndToEnd, TwoSoundTracksAreTwoStreams)
{
    ModuleMovie movie(twoSoundMp4());
    ASSERT_EQ(movie.openResult, kResultSuccess);
    ASSERT_EQ(movie.videos.size(), 1u);
    ASSERT_EQ(movie.sounds.size(), 2u);
    const double secondTrackLevel[2] = {0, 0.125};
    for (size_t stream = 0; stream < 2; ++stream) {
        SCOPED_TRACE("stream " + std::to_string(stream));
        ASSERT_EQ(movie.sound(stream).channels, 1u);
        const std::vector<int16_t> pcm = samplesOf(readUntilTheEnd(movie.sounds[stream]));
        EXPECT_NEAR(double(pcm.size()), 88200, 1024);
        EXPECT_NEAR(toneAmplitude(pcm, 1, 0, 44100, 440), 0.125, 0.01);
        EXPECT_NEAR(toneAmplitude(pcm, 1, 0, 44100, 660), secondTrackLevel[stream], 0.01);
    }
}

// A movie in two languages that plays the second: the file marks its first
// sound track disabled and the second enabled. The host is asked to
// activate the second stream, and opening it plays that track alone, as
// ffmpeg decodes it.
struct TwoLanguages {
    const char* name;
    const char* file;
    const char* codec;
    int tolerance;  // largest difference of a sample from ffmpeg's decode
    friend void PrintTo(const TwoLanguages& test, std::ostream* out) { *out << test.name; }
};

class ModuleTwoLanguages : public ::testing::TestWithParam<TwoLanguages> {};

TEST_P(ModuleTwoLanguages, TheHostHearsTheLanguageTheFileEnables)
{
    const TwoLanguages& test = GetParam();
    const std::string path = testMedia(test.file, kTone +
                                                      "-f lavfi -i sine=frequency=660:sample_rate=44100:duration=2 "
                                                      "-map 0 -map 1 -disposition:a:0 0 -disposition:a:1 default -c:a " +
                                                      test.codec);
    ASSERT_FALSE(path.empty()) << "ffmpeg could not make the test movie";
    Host::StoppedClock clock;
    ContainerSession session;
    session.initialize();
    ASSERT_EQ(session.open(path), kResultSuccess);
    ASSERT_EQ(session.container->openTitle(session.onlyTitle()), kResultSuccess);
    const std::vector<StreamInterface*> streams = session.containerHost.streams();
    ASSERT_EQ(streams.size(), 2u);
    std::vector<StreamInterface*> activated;
    for (const Host::HostEvent& event : session.events.all())
        if (event.kind == Host::HostEvent::Kind::ActivateStream)
            activated.push_back(session.containerHost.stream(event.id));
    ASSERT_EQ(activated, std::vector<StreamInterface*>{streams[1]});

    ASSERT_EQ(streams[1]->openStream(&clock), kResultSuccess);
    const std::vector<int16_t> ours = samplesOf(readUntilTheEnd(streams[1]));
    const std::vector<int16_t> expected = decodedSound(path, 1, 1);
    EXPECT_NEAR(double(ours.size()), double(expected.size()), 1024);
    const size_t common = std::min(ours.size(), expected.size());
    EXPECT_LE(maximumDifference(ours.data(), expected.data(), common), test.tolerance);
}

INSTANTIATE_TEST_SUITE_P(Containers, ModuleTwoLanguages,
                         ::testing::Values(TwoLanguages{"PcmMov", "two-languages.mov", "pcm_s16le", 0},
                                           TwoLanguages{"AacMp4", "two-languages.mp4", "aac", 4}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace Qel::Testing
