// Opening real movies: probing, tracks and their codes, the time scale, every
// frame's time and duration and the sync samples, against ffprobe.
#include "FfmpegMovie.h"
#include "FfmpegOracle.h"
#include "FfmpegPacketReader.h"
#include "picture/FfmpegPictureDecoder.h"
#include "formats/FfmpegProbe.h"
#include "TempFolder.h"
#include "TestMovies.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace Qel::Testing {
namespace {

using namespace QelRuntime;

constexpr QtOSType kSound = fourCc('s', 'o', 'u', 'n');

class FfmpegMovieTest : public ::testing::TestWithParam<TestMovie> {
protected:
    void SetUp() override
    {
        path = GetParam().path();
        ASSERT_FALSE(path.empty()) << "ffmpeg could not make the test movie";
        movie = FfmpegMovie::open(path);
        ASSERT_NE(movie, nullptr);
    }

    std::string path;
    std::unique_ptr<FfmpegMovie> movie;
};

TEST_P(FfmpegMovieTest, PresentsItsStreamsWithTheirCodes)
{
    EXPECT_TRUE(ffmpegRecognisesMovie(path));
    ASSERT_EQ(movie->tracks().size(), 2u);
    const FfmpegTrack& video = movie->tracks()[0];
    EXPECT_EQ(video.mediaType, GetParam().mediaType);
    EXPECT_EQ(video.compressionType, GetParam().compressionType);
    EXPECT_EQ(video.width, 160);
    EXPECT_EQ(video.height, 120);
    const FfmpegTrack& sound = movie->tracks()[1];
    EXPECT_EQ(sound.mediaType, kSound);
    EXPECT_EQ(sound.sampleRate, 44100);
    EXPECT_EQ(sound.channels, 2);
    EXPECT_EQ(movie->timeScale(), GetParam().timeScale);
    EXPECT_NEAR(double(movie->duration()) / movie->timeScale(), 2.0, 0.1);
}

// Times are exact in the movie's time scale: the sample of frame i starts
// exactly where ffprobe places it, relative to the first frame, and lasts
// until the next frame (a frame the container drops is not a gap).
TEST_P(FfmpegMovieTest, FrameTimesDurationsAndSyncSamplesMatchFfprobe)
{
    const std::vector<ProbedFrame> frames = probedVideoFrames(path);
    const FfmpegTrack& video = movie->tracks()[0];
    const std::vector<QelRuntime::SampleEntry>& samples = movie->model().tracks[0].samples;
    ASSERT_EQ(samples.size(), frames.size());
    ASSERT_EQ(video.positions.size(), frames.size());
    const int64_t scale = movie->timeScale();
    const auto toMovie = [&](int64_t ticks) {
        const int64_t numerator = ticks * video.timeBase.num * scale;
        EXPECT_EQ(numerator % video.timeBase.den, 0) << "not exact in the movie's time scale";
        return numerator / video.timeBase.den;
    };
    // Time 0 is the earliest start of any track (sound leads in MPEG); the
    // first picture keeps its own start after it.
    const int64_t lead = video.positions[0].pts - movie->originIn(video.timeBase);
    const auto movieTicks = [&](size_t i) { return frames[i].pts - frames[0].pts + lead; };
    for (size_t i = 0; i < frames.size(); ++i) {
        SCOPED_TRACE("frame " + std::to_string(i));
        EXPECT_EQ(samples[i].time, toMovie(movieTicks(i)));
        const int64_t end = i + 1 < frames.size() ? movieTicks(i + 1) : movieTicks(i) + frames[i].duration;
        EXPECT_EQ(samples[i].duration, toMovie(end - movieTicks(i)));
        EXPECT_EQ(samples[i].sync, frames[i].key);
        EXPECT_EQ(movie->sampleAtTime(video, samples[i].time), i);
    }
}

// Seeking lands on the sync samples: the picture decoded for a sync sample
// is the one ffmpeg decodes for that key frame.
TEST_P(FfmpegMovieTest, SyncSampleLookupFollowsTheKeyFrames)
{
    const std::vector<ProbedFrame> frames = probedVideoFrames(path);
    const FfmpegTrack& video = movie->tracks()[0];
    size_t lastKey = 0;
    for (size_t i = 0; i < frames.size() && i < video.positions.size(); ++i) {
        if (frames[i].key)
            lastKey = i;
        EXPECT_EQ(video.syncSampleBefore(i), lastKey) << "sample " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(RealMovies, FfmpegMovieTest, ::testing::ValuesIn(kTestMovies),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FfmpegMovieOpening, TitleComesFromTheFilesMetadata)
{
    auto titled = FfmpegMovie::open(h264Mp4());
    ASSERT_NE(titled, nullptr);
    EXPECT_EQ(titled->title(), "Harbour");
    EXPECT_FALSE(titled->contentType().has_value());
    auto untitled = FfmpegMovie::open(yuvsMov());
    ASSERT_NE(untitled, nullptr);
    EXPECT_EQ(untitled->title(), "");
}

TEST(FfmpegMovieOpening, ContentTypeComesFromTheUserData)
{
    auto panorama = FfmpegMovie::open(contentTypeMov("qtvr"));
    ASSERT_NE(panorama, nullptr);
    EXPECT_EQ(panorama->contentType(), fourCc('q', 't', 'v', 'r'));
    EXPECT_EQ(panorama->title(), "");
}

TEST(FfmpegMovieOpening, TwoSoundTracksKeepFileOrder)
{
    auto movie = FfmpegMovie::open(twoSoundMp4());
    ASSERT_NE(movie, nullptr);
    ASSERT_EQ(movie->tracks().size(), 3u);
    EXPECT_EQ(movie->tracks()[0].mediaType, fourCc('v', 'i', 'd', 'e'));
    EXPECT_EQ(movie->tracks()[1].mediaType, kSound);
    EXPECT_EQ(movie->tracks()[2].mediaType, kSound);
}

// QuickTime and MP4 files mark each track enabled or not, and the tracks
// start as the file marks them (the sound mixes the enabled ones); other
// containers have no such mark.
TEST(FfmpegMovieOpening, TracksStartEnabledAsTheFileMarksThem)
{
    struct Case {
        const char* file;
        const char* dispositions;
        bool enabled[3];
    };
    const Case cases[] = {
        {"second-disabled.mov", "-disposition:a:0 default -disposition:a:1 0", {true, true, false}},
        {"first-disabled.mov", "-disposition:a:0 0 -disposition:a:1 default", {true, false, true}},
        {"first-disabled.mp4", "-disposition:a:0 0 -disposition:a:1 default", {true, false, true}},
        {"unmarked.mkv", "-disposition:a:0 0 -disposition:a:1 0", {true, true, true}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = testMedia(c.file, kPictures + kTone +
                                                       "-f lavfi -i sine=frequency=660:sample_rate=44100:duration=2 "
                                                       "-map 0 -map 1 -map 2 -c:v mjpeg -c:a aac " + c.dispositions);
        auto movie = FfmpegMovie::open(path);
        ASSERT_NE(movie, nullptr);
        ASSERT_EQ(movie->model().tracks.size(), 3u);
        for (size_t track = 0; track < 3; ++track)
            EXPECT_EQ(movie->model().tracks[track].enabled, c.enabled[track]) << "track " << track + 1;
    }
}

TEST(FfmpegMovieOpening, SoundOnlyMovieUsesTheSampleRateAsTimeScale)
{
    auto movie = FfmpegMovie::open(surroundMov(0.25));
    ASSERT_NE(movie, nullptr);
    ASSERT_EQ(movie->tracks().size(), 1u);
    EXPECT_EQ(movie->tracks()[0].channels, 6);
    EXPECT_EQ(movie->timeScale(), 48000);
    EXPECT_EQ(movie->duration(), 48000);
}

TEST(FfmpegMovieOpening, OtherFilesAreNeitherRecognisedNorOpened)
{
    TempFolder folder;
    std::string noise(4096, '\0');
    for (size_t i = 0; i < noise.size(); ++i)
        noise[i] = char((i * 7919 + 13) % 251);
    const std::string files[] = {
        folder.write("synthetic.mov", R"({"qelSyntheticMovie": 1, "tracks": []})"),
        folder.write("notes.txt", "Harbour at dawn\n"),
        folder.write("noise.mp4", noise),
        folder.write("empty.avi", ""),
        folder.path("missing.mp4"),
    };
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        EXPECT_FALSE(ffmpegRecognisesMovie(file));
        EXPECT_EQ(FfmpegMovie::open(file), nullptr);
    }
}

// A copy of the first share of a file's bytes.
std::string truncatedCopy(const TempFolder& folder, const std::string& source, const std::string& name,
                          double share)
{
    std::ifstream in(source, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return folder.write(name, bytes.substr(0, size_t(double(bytes.size()) * share)));
}

TEST(FfmpegMovieOpening, TruncatedFilesGiveStatusesNotCrashes)
{
    TempFolder folder;
    // MP4 keeps its index at the end: without it there is no movie.
    EXPECT_EQ(FfmpegMovie::open(truncatedCopy(folder, h264Mp4(), "cut.mp4", 0.5)), nullptr);

    // An index at the front that promises samples the file no longer holds:
    // the file stops in the middle of a sample, and the table at the last
    // whole one.
    const std::string faststart = testMedia("faststart.mov", kPictures + kTone +
                                                                 "-c:v rawvideo -pix_fmt yuyv422 -c:a pcm_s16le "
                                                                 "-movflags faststart");
    auto cut = FfmpegMovie::open(truncatedCopy(folder, faststart, "cut.mov", 0.6));
    ASSERT_NE(cut, nullptr);
    const size_t samples = cut->tracks()[0].positions.size();
    EXPECT_GT(samples, 10u);
    EXPECT_LT(samples, 50u);
    auto reader = FfmpegPacketReader::open(*cut, 0);
    ASSERT_NE(reader, nullptr);
    PacketPtr packet = makePacket();
    EXPECT_TRUE(reader->readSample(0, packet.get()));
    EXPECT_TRUE(reader->readSample(samples - 1, packet.get()));
    EXPECT_FALSE(reader->readSample(samples, packet.get()));
    QtStatus status = -1;
    auto decoder = FfmpegPictureDecoder::open(*cut, 0, status);
    ASSERT_NE(decoder, nullptr);
    std::vector<uint8_t> picture(160 * 120 * 2);
    const FfmpegSurface surface{fourCc('y', 'u', 'v', 's'), picture.data(), 320, 160, 120};
    EXPECT_EQ(decoder->decodeInto(0, surface), 0);
    EXPECT_EQ(decoder->decodeInto(samples - 1, surface), 0);
    EXPECT_NE(decoder->decodeInto(samples, surface), 0);

    // MPEG program streams are scanned: what remains opens and decodes.
    auto mpeg = FfmpegMovie::open(truncatedCopy(folder, mpeg2Mpg(), "cut.mpg", 0.5));
    ASSERT_NE(mpeg, nullptr);
    auto mpegDecoder = FfmpegPictureDecoder::open(*mpeg, 0, status);
    ASSERT_NE(mpegDecoder, nullptr);
    for (size_t i = 0; i < mpeg->tracks()[0].positions.size(); ++i)
        EXPECT_EQ(mpegDecoder->decodeInto(i, surface), 0) << "sample " << i;
}

// A transport stream joined from pieces, the middle one with a sound stream:
// the demuxer meets that stream only while the packets are read at open,
// and the movie's tracks are the streams known before.
TEST(FfmpegMovieOpening, AStreamMetOnlyWhileReadingIsNoTrack)
{
    TempFolder folder;
    const auto bytesOf = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    };
    const std::string pictures = testMedia("pictures-8s.ts", "-f lavfi -i testsrc2=size=160x120:rate=25:duration=8 "
                                                             "-c:v mpeg2video");
    const std::string both = testMedia("pictures-tone.ts", kPictures + kTone + "-c:v mpeg2video -c:a mp2");
    ASSERT_FALSE(pictures.empty() || both.empty());
    const auto movie = FfmpegMovie::open(
        folder.write("joined.ts", bytesOf(pictures) + bytesOf(both) + bytesOf(pictures)));
    ASSERT_NE(movie, nullptr);
    ASSERT_EQ(movie->tracks().size(), 1u);
    EXPECT_EQ(movie->tracks()[0].mediaType, fourCc('m', '1', 'v', ' '));
}

} // namespace
} // namespace Qel::Testing
