// Sync points and seeks: searching against the read direction, and failing
// quietly where no sync sample lies that way.
#include "MovieFixture.h"
#include "VideoSession.h"

namespace Qel::Testing {
namespace {

// 600 units per second; 20 samples of 60 units (100 ms), a sync sample
// every 8 (at 0, 480 and 960 units).
const std::string kTrack = videoMovie(R"("compression": "2vuy", "width": 8, "height": 4)",
                                      R"("count": 20, "duration": 60, "syncEvery": 8)");

TEST(VideoSeek, LandsOnThePreviousSyncSampleInForwardPlay)
{
    VideoSession video(kTrack);
    uint32_t reached = 0;
    ASSERT_EQ(video.stream->seekStream(1000, &reached, 0), kResultSuccess);
    EXPECT_EQ(reached, 800u);
    EXPECT_EQ(video.messages(kSeekFunction),
              (std::vector<std::string>{"QT video seeking to: 1000", "QT video sook to t: 800"}));
    EXPECT_EQ(video.messages(kSyncFunction), std::vector<std::string>{"QT video getSyncPoint: 1000 got: 800"});
    const Frame frame = video.read();
    expectSample(frame, "UYVY", 8, 4, 8);
    EXPECT_EQ(frame.startTime, 800u);
}

TEST(VideoSeek, LandsOnTheSyncSampleWhoseTimeIsNoWholeMillisecond)
{
    // 30000 units per second, samples of 1001 units: the sync sample 5 starts
    // at 5005 units, 166.83 ms, reported as 166 ms (4980 units, inside sample 4).
    VideoSession video(videoMovie(R"("compression": "2vuy", "width": 8, "height": 4)",
                                  R"("count": 12, "duration": 1001, "syncEvery": 5)", "", "", 30000));
    uint32_t reached = 0;
    ASSERT_EQ(video.stream->seekStream(300, &reached, 0), kResultSuccess);
    EXPECT_EQ(reached, 166u);
    EXPECT_EQ(video.readSampleIndex(), 5);
    EXPECT_EQ(video.readSampleIndex(), 6);
}

TEST(VideoSeek, SyncPointAtZeroIsZero)
{
    VideoSession video(kTrack);
    uint32_t syncTime = 77;
    EXPECT_EQ(video.stream->getSyncPoint(1000, 0, &syncTime), kResultSuccess);
    EXPECT_EQ(syncTime, 0u);
    EXPECT_EQ(video.stream->getSyncPoint(-1000, 0, &syncTime), kResultSuccess);
    EXPECT_EQ(syncTime, 0u);
    EXPECT_TRUE(video.messages(kSyncFunction).empty());
}

TEST(VideoSeek, NoSyncSampleThatWayFailsWithoutMoving)
{
    VideoSession video(kTrack);
    EXPECT_EQ(video.readSampleIndex(), 0);
    video.stream->setReadSpeed(-1000);  // the search runs forward
    uint32_t reached = 55;
    EXPECT_EQ(video.stream->seekStream(1700, &reached, 0), kResultFailure);
    EXPECT_EQ(reached, 55u);
    EXPECT_EQ(video.messages(kSeekFunction), std::vector<std::string>{"QT video seeking to: 1700"});
    EXPECT_TRUE(video.messages(kSyncFunction).empty());
    EXPECT_EQ(video.readSampleIndex(), 1);
}

struct LateSeek {
    const char* name;
    uint32_t target;
    int32_t speed;
    uint32_t reached;
    int32_t firstSample;
};

class VideoLateTrackSeek : public ::testing::TestWithParam<LateSeek> {};

// The picture track starts at 500 ms (300 units) after sound from 0; a sync
// sample every 4 samples of 60 units (at 500, 900 and 1300 ms). In forward
// play a seek before the first sync sample, where the runtime finds none
// before, lands on it.
TEST_P(VideoLateTrackSeek, LandsOnTheFirstSyncSampleWhenNoneLiesBefore)
{
    const LateSeek seek = GetParam();
    const std::string pictures = R"({"type": "vide", "video": {"compression": "2vuy", "width": 8, "height": 4},)"
                                 R"( "samples": {"count": 12, "duration": 60, "start": 300, "syncEvery": 4}})";
    VideoSession video(Movie::document(pictures + "," + Movie::soundTrack()));
    ASSERT_TRUE(video.stream->setReadSpeed(seek.speed));
    uint32_t reached = 0;
    ASSERT_EQ(video.stream->seekStream(seek.target, &reached, 0), kResultSuccess);
    EXPECT_EQ(reached, seek.reached);
    EXPECT_EQ(video.readSampleIndex(), seek.firstSample);
}

INSTANTIATE_TEST_SUITE_P(
    Targets, VideoLateTrackSeek,
    ::testing::Values(LateSeek{"Start", 0, 1000, 0, 0}, LateSeek{"BeforeTheFirstPicture", 200, 1000, 500, 0},
                      LateSeek{"JustBeforeIt", 499, 1000, 500, 0}, LateSeek{"AtIt", 500, 1000, 500, 0},
                      LateSeek{"PastIt", 1000, 1000, 900, 4}, LateSeek{"BeforeItReadingBackwards", 200, -1000, 500, 0}),
    [](const ::testing::TestParamInfo<LateSeek>& info) { return std::string(info.param.name); });

// An answer with nowhere to go is refused by both kinds of stream.
TEST(VideoSeek, BothStreamsRefuseASyncPointWithoutOutPointer)
{
    VideoSession video(Movie::document(Movie::videoTrack() + "," + Movie::soundTrack()));
    StreamInterface* sound = video.otherStream(288);
    ASSERT_NE(sound, nullptr);
    ASSERT_EQ(sound->openStream(&video.clock), kResultSuccess);
    for (StreamInterface* stream : {video.stream, sound}) {
        SCOPED_TRACE(stream->getKind());
        for (uint32_t time : {0u, 500u})
            EXPECT_EQ(stream->getSyncPoint(1000, time, nullptr), kResultFailure);
    }
}

} // namespace
} // namespace Qel::Testing
