// Times at their edges and at length: every conversion between host
// milliseconds and movie units truncates (never rounds), works in 64 bits
// (a 90000 time scale passes 2^32 in a product after 13 hours of units, a
// sample time near 2^31 units passes it at once), and every threshold holds
// on its boundary, just below and just above.
#include "ScopedRuntimeModes.h"
#include "VideoSession.h"

namespace Qel::Testing {
namespace {

// Units to milliseconds as the host must see them: truncated.
uint32_t msOf(int64_t units, int64_t timeScale)
{
    return uint32_t(units * 1000 / timeScale);
}

// A movie of one 'yuvs' track whose samples are listed as {time, duration,
// sync} triples (JSON), at timeScale.
std::string timedMovie(int timeScale, const std::string& samples)
{
    return R"({"qelSyntheticMovie": 1, "timeScale": )" + std::to_string(timeScale) +
           R"(, "tracks": [{"type": "vide", "video": {"compression": "yuvs", "width": 4, "height": 4},)"
           R"( "samples": [)" +
           samples + "]}]}";
}

std::string sample(int64_t time, int64_t duration, bool sync = true)
{
    return R"({"time": )" + std::to_string(time) + R"(, "duration": )" + std::to_string(duration) +
           R"(, "sync": )" + (sync ? "true" : "false") + "}";
}

// 29.97 frames per second at 90000 units, near the start and again just
// below 2^31 units (six hours in).
constexpr int64_t kLate = 1999999999;
const std::string kNinetyThousand =
    timedMovie(90000, sample(0, 3003) + "," + sample(3003, 3003, false) + "," + sample(kLate, 3003) + "," +
                          sample(kLate + 3003, 3003, false));

// 600 units per second, a sync sample every 60 units: 1001 ms is 600.6
// units, which truncates onto the sync sample at 600 (whose own start is
// not before it) and rounds past it.
std::string sixHundred()
{
    std::string samples;
    for (int i = 0; i < 20; ++i)
        samples += (i ? "," : "") + sample(60 * i, 60);
    return timedMovie(600, samples);
}

struct SeekCase {
    const char* name;
    std::string movie;
    int64_t timeScale;
    uint32_t seekMs;
    int64_t landsOn;  // units of the sync sample the seek lands on
};

class VideoTimeSeek : public testing::TestWithParam<SeekCase> {};

// The seek searches backwards from the truncated time and reports the sync
// sample's own time, truncated; reading starts at that sample.
TEST_P(VideoTimeSeek, LandsOnTheSyncSampleBeforeTheTruncatedTime)
{
    const SeekCase& seek = GetParam();
    VideoSession video(seek.movie);
    ASSERT_NE(video.stream, nullptr);
    uint32_t reached = 0;
    ASSERT_EQ(video.stream->seekStream(seek.seekMs, &reached, 0), kResultSuccess);
    EXPECT_EQ(reached, msOf(seek.landsOn, seek.timeScale));
    const Frame frame = video.read();
    ASSERT_TRUE(frame.delivered);
    EXPECT_EQ(frame.startTime, msOf(seek.landsOn, seek.timeScale));
}

INSTANTIATE_TEST_SUITE_P(
    OnAndBesideTheBoundary, VideoTimeSeek,
    testing::Values(SeekCase{"JustBelowASyncTime", sixHundred(), 600, 999, 540},
                    SeekCase{"OnASyncTime", sixHundred(), 600, 1000, 540},
                    SeekCase{"TruncatedOntoASyncTime", sixHundred(), 600, 1001, 540},
                    SeekCase{"JustPastASyncTime", sixHundred(), 600, 1002, 600},
                    SeekCase{"LateJustBelow", kNinetyThousand, 90000, 22222222, 0},
                    SeekCase{"LateJustPast", kNinetyThousand, 90000, 22222223, kLate},
                    SeekCase{"LateFarPast", kNinetyThousand, 90000, 23000000, kLate}),
    [](const testing::TestParamInfo<SeekCase>& info) { return std::string(info.param.name); });

// Start times and durations of chunks far into a movie, and the movie's
// duration, are the exact truncated milliseconds.
TEST(VideoTime, ChunksFarIntoAMovieCarryTheirExactTimes)
{
    VideoSession video(kNinetyThousand);
    ASSERT_NE(video.stream, nullptr);
    EXPECT_EQ(video.stream->getDuration(), msOf(kLate + 6006, 90000));
    uint32_t reached = 0;
    ASSERT_EQ(video.stream->seekStream(22222223, &reached, 0), kResultSuccess);
    for (int64_t start : {kLate, kLate + 3003}) {
        const Frame frame = video.read();
        ASSERT_TRUE(frame.delivered);
        EXPECT_EQ(frame.startTime, msOf(start, 90000));
        EXPECT_EQ(frame.duration, msOf(3003, 90000));
        EXPECT_EQ(video.stream->getPosition(), msOf(start, 90000) + msOf(3003, 90000));
    }
    EXPECT_TRUE(video.stream->isEndOfStream());

    // 30000/1001: every start but the first has a fraction of a millisecond.
    VideoSession ntsc(videoMovie(R"("compression": "yuvs", "width": 4, "height": 4)",
                                 R"("count": 4, "duration": 1001)", "", "", 30000));
    for (int64_t index = 0; index < 4; ++index) {
        const Frame frame = ntsc.read();
        ASSERT_TRUE(frame.delivered);
        EXPECT_EQ(frame.startTime, msOf(1001 * index, 30000));
        EXPECT_EQ(frame.duration, 33u);
    }
}

struct CatchUpCase {
    const char* name;
    int32_t speed;
    int32_t clockMs;
    uint32_t startMs;  // of the frame delivered
};

class VideoCatchUpTarget : public testing::TestWithParam<CatchUpCase> {};

// 1000 units per second, samples of 10 units, a sync sample every 30: one
// at 5010. Forwards the target is the clock plus 10 ms and a sync sample on
// it is the one fetched; backwards the target is the clock itself.
TEST_P(VideoCatchUpTarget, FetchesTheFirstSyncSampleAtOrPastTheTarget)
{
    const CatchUpCase& catchUp = GetParam();
    VideoSession video(videoMovie(R"("compression": "yuvs", "width": 4, "height": 4)",
                                  R"("count": 1000, "duration": 10, "syncEvery": 3)", "", "", 1000));
    ASSERT_NE(video.stream, nullptr);
    video.stream->setReadSpeed(catchUp.speed);
    uint32_t reached = 0;
    ASSERT_EQ(video.stream->seekStream(catchUp.speed > 0 ? 2000 : 8000, &reached, 0), kResultSuccess);
    video.clock.set(true, catchUp.clockMs);
    const Frame frame = video.read();
    ASSERT_TRUE(frame.delivered);
    EXPECT_EQ(frame.startTime, catchUp.startMs);
}

INSTANTIATE_TEST_SUITE_P(
    OnAndBesideTheTarget, VideoCatchUpTarget,
    testing::Values(CatchUpCase{"ForwardJustBelow", 1000, 4999, 5010},
                    CatchUpCase{"ForwardOn", 1000, 5000, 5010},
                    CatchUpCase{"ForwardJustPast", 1000, 5001, 5040},
                    CatchUpCase{"BackwardJustPast", -1000, 5011, 5010},
                    CatchUpCase{"BackwardOn", -1000, 5010, 5010},
                    CatchUpCase{"BackwardJustBelow", -1000, 5009, 4980}),
    [](const testing::TestParamInfo<CatchUpCase>& info) { return std::string(info.param.name); });

struct MediaScaleCase {
    const char* name;
    int movieScale;
    int mediaScale;
    int64_t sampleUnits;  // each sample's duration in movie units
};

class VideoMediaScale : public testing::TestWithParam<std::tuple<MediaScaleCase, const char*>> {};

// The export source exchanges times in the media's scale. Rows: movie and
// media scales; columns: whether the exporter reads the request in the scale
// it handed back or in the request's own. Frames come in order, stamped in
// movie time, from the start and after a seek.
TEST_P(VideoMediaScale, FramesComeInOrderStampedInMovieTime)
{
    const auto& [scales, exportMode] = GetParam();
    ScopedRuntimeModes modes(exportMode);
    const int64_t units = scales.sampleUnits;
    VideoSession video(videoMovie(R"("compression": "yuvs", "width": 4, "height": 4)",
                                  R"("count": 30, "duration": )" + std::to_string(units) + R"(, "syncEvery": 5)",
                                  R"(, "mediaTimeScale": )" + std::to_string(scales.mediaScale), "",
                                  scales.movieScale));
    const auto expectSamples = [&](int32_t first, int32_t count) {
        for (int32_t index = first; index < first + count; ++index) {
            SCOPED_TRACE(index);
            const Frame frame = video.read();
            ASSERT_TRUE(frame.delivered);
            EXPECT_EQ(QelRuntime::SyntheticPattern::sampleIndexFromLuma(frame.bytes[0]), index);
            EXPECT_EQ(frame.startTime, msOf(units * index, scales.movieScale));
            EXPECT_EQ(frame.duration, msOf(units, scales.movieScale));
        }
    };
    expectSamples(0, 7);
    uint32_t reached = 0;
    ASSERT_EQ(video.stream->seekStream(msOf(units * 12, scales.movieScale) + 1, &reached, 0), kResultSuccess);
    EXPECT_EQ(reached, msOf(units * 10, scales.movieScale));
    expectSamples(10, 3);
}

INSTANTIATE_TEST_SUITE_P(
    ScalesAndExporters, VideoMediaScale,
    testing::Combine(testing::Values(MediaScaleCase{"Same", 600, 600, 20}, MediaScaleCase{"Ntsc", 600, 2997, 20},
                                     MediaScaleCase{"ThirtyThousand", 600, 30000, 20},
                                     MediaScaleCase{"NinetyThousand", 600, 90000, 20},
                                     MediaScaleCase{"CoarserMedia", 1000, 25, 40},
                                     MediaScaleCase{"CoarserThanNinetyThousand", 90000, 600, 3000}),
                     testing::Values("exportScale=returned", "exportScale=request")),
    [](const testing::TestParamInfo<std::tuple<MediaScaleCase, const char*>>& info) {
        const std::string mode = std::get<1>(info.param);
        return std::string(std::get<0>(info.param).name) +
               (mode == "exportScale=returned" ? "ReturnedScale" : "RequestScale");
    });

} // namespace
} // namespace Qel::Testing
