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
