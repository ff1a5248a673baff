// Keeping pace with the host clock: jumping from sync sample to sync sample
// while the clock runs ahead, in both directions, and never while it stops.
#include "VideoSession.h"

namespace Qel::Testing {
namespace {

// 1000 units per second; 100 samples of 100 units, a sync sample every 4
// (every 400 units).
const std::string kLongTrack = videoMovie(R"("compression": "yuvs", "width": 8, "height": 4)",
                                          R"("count": 100, "duration": 100, "syncEvery": 4)", "", "", 1000);

TEST(VideoCatchUp, ForwardJumpsToTheFirstSyncSampleAtOrPastTheClock)
{
    VideoSession video(kLongTrack);
    uint32_t reached = 0;
    ASSERT_EQ(video.stream->seekStream(2001, &reached, 0), kResultSuccess);
    ASSERT_EQ(reached, 2000u);
    const size_t linesBefore = video.messages(kReadFunction).size();

    video.clock.set(true, 5000);
    const Frame caughtUp = video.read();
    expectSample(caughtUp, "YUY2", 8, 4, 52);
    EXPECT_EQ(caughtUp.startTime, 5200u);

    std::vector<std::string> expected;
    for (long from = 2000; from <= 4800; from += 400)
        expected.push_back("QT video playing catch-up m_c = " + std::to_string(from) + " c+10 = 5010");
    const std::vector<std::string> lines = video.messages(kReadFunction);
    const std::vector<std::string> catchUpLines(lines.begin() + linesBefore, lines.begin() + linesBefore + 8);
    EXPECT_EQ(catchUpLines, expected);

    // Caught up, reading goes on from the sample after the one delivered.
    video.clock.setTime(5200);
    EXPECT_EQ(video.readSampleIndex(), 53);
}

TEST(VideoCatchUp, BackwardJumpsToTheFirstSyncSampleAtOrBeforeTheClock)
{
    VideoSession video(kLongTrack);
    video.stream->setReadSpeed(-1000);
    uint32_t reached = 0;
    ASSERT_EQ(video.stream->seekStream(4900, &reached, 0), kResultSuccess);
    ASSERT_EQ(reached, 5200u);

    video.clock.set(true, 3000);
    EXPECT_EQ(video.readSampleIndex(), 28);
    std::vector<std::string> expected;
    for (long from = 5200; from > 2800; from -= 400)
        expected.push_back("QT video playing catch-up m_c = " + std::to_string(from) + " c = 3000");
    std::vector<std::string> catchUpLines;
    for (const std::string& line : video.messages(kReadFunction))
        if (line.rfind("QT video playing catch-up", 0) == 0)
            catchUpLines.push_back(line);
    EXPECT_EQ(catchUpLines, expected);
    EXPECT_EQ(video.readSampleIndex(), 27);
}

// A running clock before the start (-11 ms) stands at 0: reading forwards
// nothing lies behind it, and reading backwards the stream catches up to the
// start. 25 units per second, so that the time taken unsigned would wrap to
// a target of about 10^8 units.
struct ClockBeforeZero {
    const char* name;
    int32_t speed;
    int32_t sample;  // the one delivered
    size_t catchUpLines;
    friend void PrintTo(const ClockBeforeZero& test, std::ostream* out) { *out << test.name; }
};

class VideoCatchUpClockBeforeZero : public ::testing::TestWithParam<ClockBeforeZero> {};

TEST_P(VideoCatchUpClockBeforeZero, StandsAtTheStart)
{
    const ClockBeforeZero& test = GetParam();
    VideoSession video(videoMovie(R"("compression": "yuvs", "width": 8, "height": 4)",
                                  R"("count": 100, "duration": 1, "syncEvery": 4)", "", "", 25));
    video.stream->setReadSpeed(test.speed);
    uint32_t reached = 0;
    ASSERT_EQ(video.stream->seekStream(2001, &reached, 0), kResultSuccess);
    video.clock.set(true, -11);
    EXPECT_EQ(video.readSampleIndex(), test.sample);
    size_t catchUpLines = 0;
    for (const std::string& line : video.messages(kReadFunction))
        catchUpLines += line.rfind("QT video playing catch-up", 0) == 0 ? 1 : 0;
    EXPECT_EQ(catchUpLines, test.catchUpLines);
}

INSTANTIATE_TEST_SUITE_P(Directions, VideoCatchUpClockBeforeZero,
                         ::testing::Values(ClockBeforeZero{"Forwards", 1000, 48, 0},
                                           ClockBeforeZero{"Backwards", -1000, 0, 13}),
                         [](const ::testing::TestParamInfo<ClockBeforeZero>& info) {
                             return std::string(info.param.name);
                         });

// With no sync sample at or past the clock in the read direction, the clock
// running ahead changes nothing: every sample comes in order to the end.
struct NoSyncAhead {
    const char* name;
    std::string samples;  // the track's sample table, 1000 units per second
    int32_t speed;
    int32_t seekMs;  // -1: rewind instead
    int32_t clockMs;
    std::vector<int32_t> expected;
    friend void PrintTo(const NoSyncAhead& test, std::ostream* out) { *out << test.name; }
};

class VideoCatchUpWithoutSyncSample : public ::testing::TestWithParam<NoSyncAhead> {};

TEST_P(VideoCatchUpWithoutSyncSample, ReadsOnInOrder)
{
    const NoSyncAhead& test = GetParam();
    VideoSession video(
        videoMovieWithTable(R"("compression": "yuvs", "width": 8, "height": 4)", test.samples, "", "", 1000));
    video.stream->setReadSpeed(test.speed);
    uint32_t reached = 0;
    if (test.seekMs < 0)
        video.stream->rewindStream();
    else
        ASSERT_EQ(video.stream->seekStream(uint32_t(test.seekMs), &reached, 0), kResultSuccess);
    video.clock.set(true, test.clockMs);
    std::vector<int32_t> delivered;
    for (size_t at = 0; at <= test.expected.size(); ++at)
        delivered.push_back(video.readSampleIndex());
    std::vector<int32_t> expected = test.expected;
    expected.push_back(-1);
    EXPECT_EQ(delivered, expected);
    EXPECT_TRUE(video.stream->isEndOfStream());
}

INSTANTIATE_TEST_SUITE_P(
    Tracks, VideoCatchUpWithoutSyncSample,
    ::testing::Values(
        NoSyncAhead{"OneSyncSample", R"({"count": 10, "duration": 100, "syncEvery": 100})", 1000, 0, 5000,
                    {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
        NoSyncAhead{"LastGroupForwards", R"({"count": 20, "duration": 100, "syncEvery": 5})", 1000, 1001, 1800,
                    {10, 11, 12, 13, 14, 15, 16, 17, 18, 19}},
        NoSyncAhead{"FirstGroupBackwards",
                    R"([{"time": 0, "duration": 100, "sync": false}, {"time": 100, "duration": 100, "sync": false},)"
                    R"( {"time": 200, "duration": 100, "sync": false}, {"time": 300, "duration": 100},)"
                    R"( {"time": 400, "duration": 100, "sync": false}, {"time": 500, "duration": 100, "sync": false}])",
                    -1000, -1, 0, {5, 4, 3, 2, 1, 0}}),
    [](const ::testing::TestParamInfo<NoSyncAhead>& info) { return std::string(info.param.name); });

TEST(VideoCatchUp, StoppedClockLeavesTheReadPositionAlone)
{
    VideoSession video(kLongTrack);
    uint32_t reached = 0;
    ASSERT_EQ(video.stream->seekStream(2001, &reached, 0), kResultSuccess);
    video.clock.set(false, 9000);
    EXPECT_EQ(video.readSampleIndex(), 20);
    video.stream->setReadSpeed(-1000);
    video.clock.set(false, 0);
    EXPECT_EQ(video.readSampleIndex(), 21);
    for (const std::string& line : video.messages(kReadFunction))
        EXPECT_EQ(line.find("catch-up"), std::string::npos) << line;
}

} // namespace
} // namespace Qel::Testing
