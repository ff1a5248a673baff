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

// A running clock ahead of the read position, and what every read delivers
// from there to the end.
struct CatchUpRun {
    const char* name;
    std::string samples;  // the track's sample table, 1000 units per second
    int32_t speed;
    uint32_t seekMs;
    int32_t clockMs;
    std::vector<int32_t> expected;
    friend void PrintTo(const CatchUpRun& test, std::ostream* out) { *out << test.name; }
};

class VideoCatchUpRun : public ::testing::TestWithParam<CatchUpRun> {};

TEST_P(VideoCatchUpRun, ReadsOnInOrderFromWhereItLands)
{
    const CatchUpRun& test = GetParam();
    VideoSession video(
        videoMovieWithTable(R"("compression": "yuvs", "width": 8, "height": 4)", test.samples, "", "", 1000));
    video.stream->setReadSpeed(test.speed);
    uint32_t reached = 0;
    ASSERT_EQ(video.stream->seekStream(test.seekMs, &reached, 0), kResultSuccess);
    video.clock.set(true, test.clockMs);
    std::vector<int32_t> delivered;
    for (size_t at = 0; at <= test.expected.size(); ++at)
        delivered.push_back(video.readSampleIndex());
    std::vector<int32_t> expected = test.expected;
    expected.push_back(-1);
    EXPECT_EQ(delivered, expected);
    EXPECT_TRUE(video.stream->isEndOfStream());
}

// Ten samples of 100 units whose only sync samples are 3 and 6.
const std::string kSyncAtThreeAndSix = [] {
    std::string table = "[";
    for (int sample = 0; sample < 10; ++sample)
        table += std::string(sample ? ", " : "") + R"({"time": )" + std::to_string(sample * 100) +
                 R"(, "duration": 100, "sync": )" + (sample == 3 || sample == 6 ? "true}" : "false}");
    return table + "]";
}();

auto runName = [](const ::testing::TestParamInfo<CatchUpRun>& info) { return std::string(info.param.name); };

// With no sync sample past the read position towards the clock, the clock
// running ahead changes nothing: every sample comes in order to the end.
INSTANTIATE_TEST_SUITE_P(
    NoSyncSampleAhead, VideoCatchUpRun,
    ::testing::Values(CatchUpRun{"OneSyncSample", R"({"count": 10, "duration": 100, "syncEvery": 100})", 1000, 0,
                                 5000, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
                      CatchUpRun{"LastGroupForwards", R"({"count": 20, "duration": 100, "syncEvery": 5})", 1000,
                                 1501, 1800, {15, 16, 17, 18, 19}},
                      CatchUpRun{"FirstGroupBackwards", kSyncAtThreeAndSix, -1000, 250, 0, {3, 2, 1, 0}}),
    runName);

// With the clock past the last sync sample towards it, the stream lands on
// that sync sample, the last one the walk found, and reads on from there.
INSTANTIATE_TEST_SUITE_P(
    PastTheLastSyncSample, VideoCatchUpRun,
    ::testing::Values(CatchUpRun{"Forwards", R"({"count": 20, "duration": 100, "syncEvery": 5})", 1000, 1001, 1800,
                                 {15, 16, 17, 18, 19}},
                      CatchUpRun{"ForwardsTwoGroupsBack", R"({"count": 20, "duration": 100, "syncEvery": 5})",
                                 1000, 501, 5000, {15, 16, 17, 18, 19}},
                      CatchUpRun{"Backwards", kSyncAtThreeAndSix, -1000, 550, 0, {3, 2, 1, 0}}),
    runName);

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
