// Reading through a track: times and durations, both directions, the ends
// of the track, sync-sample mode, speeds below normal and description
// changes.
#include "VideoSession.h"

namespace Qel::Testing {
namespace {

// Five samples of 60 units at 600 units per second: 100 ms each.
const std::string kFiveSamples =
    videoMovie(R"("compression": "yuvs", "width": 8, "height": 4)", R"("count": 5, "duration": 60)");

TEST(VideoRead, ForwardDeliversEverySampleThenGivesUpUntilRepositioned)
{
    VideoSession video(kFiveSamples);
    for (int32_t sample = 0; sample < 5; ++sample) {
        SCOPED_TRACE(sample);
        const Frame frame = video.read();
        EXPECT_EQ(frame.result, kResultSuccess);
        expectSample(frame, "YUY2", 8, 4, sample);
        EXPECT_EQ(frame.startTime, uint32_t(100 * sample));
        EXPECT_EQ(frame.duration, 100u);
        EXPECT_EQ(video.stream->getPosition(), uint32_t(100 * sample + 100));
        EXPECT_EQ(video.stream->isEndOfStream(), sample == 4);
    }
    const std::vector<std::string> lines = video.messages(kReadFunction);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines.back(), "QT video buffer of 64 bytes s: 400 d: 100");
    const std::string eos = lines[lines.size() - 2];
    EXPECT_EQ(eos.rfind("QT video EOS got next time of -1/", 0), 0u) << eos;
    EXPECT_NE(eos.find(", current time of 240/400, duration 300/500, read speed 1000"), std::string::npos) << eos;

    for (int attempt = 0; attempt < 2; ++attempt) {
        const Frame none = video.read();
        EXPECT_EQ(none.result, kResultSuccess);
        EXPECT_FALSE(none.delivered);
        EXPECT_TRUE(video.stream->isEndOfStream());
        EXPECT_EQ(video.messages(kReadFunction).back(), "QT video got next time of -1 from: 240/400, giving up.");
    }

    EXPECT_EQ(video.stream->rewindStream(), kResultSuccess);
    EXPECT_EQ(video.readSampleIndex(), 0);
    uint32_t reached = 0;
    ASSERT_EQ(video.stream->seekStream(350, &reached, 0), kResultSuccess);
    EXPECT_EQ(reached, 300u);
    EXPECT_FALSE(video.stream->isEndOfStream());
    EXPECT_EQ(video.readSampleIndex(), 3);
    ASSERT_EQ(video.stream->closeStream(), kResultSuccess);
    ASSERT_EQ(video.stream->openStream(&video.clock), kResultSuccess);
    EXPECT_EQ(video.readSampleIndex(), 0);
}

TEST(VideoRead, BackwardFromTheEndDeliversEverySampleOnceThenTurnsBack)
{
    VideoSession video(kFiveSamples);
    video.stream->setReadSpeed(-1000);
    video.stream->rewindStream();
    for (int32_t sample = 4; sample >= 0; --sample) {
        SCOPED_TRACE(sample);
        const Frame frame = video.read();
        expectSample(frame, "YUY2", 8, 4, sample);
        EXPECT_EQ(frame.startTime, uint32_t(100 * sample));
        EXPECT_EQ(video.stream->isEndOfStream(), sample == 0);
    }
    EXPECT_FALSE(video.read().delivered);
    EXPECT_EQ(video.messages(kReadFunction).back(), "QT video got next time of -1 from: 0/0, giving up.");

    // Turning round at the start makes the stream readable again.
    EXPECT_TRUE(video.stream->setReadSpeed(-2000));
    EXPECT_TRUE(video.stream->isEndOfStream()) << "not turned round";
    EXPECT_TRUE(video.stream->setReadSpeed(1000));
    EXPECT_FALSE(video.stream->isEndOfStream());
    EXPECT_EQ(video.readSampleIndex(), 1);
}

TEST(VideoRead, SpeedsBelowNormalStepOneSampleInTheirDirection)
{
    VideoSession video(kFiveSamples);
    video.stream->setReadSpeed(500);
    EXPECT_EQ(video.readSampleIndex(), 0);
    EXPECT_EQ(video.readSampleIndex(), 1);
    uint32_t reached = 0;
    ASSERT_EQ(video.stream->seekStream(350, &reached, 0), kResultSuccess);
    EXPECT_EQ(reached, 300u) << "a seek in slow forward play lands before the time";
    video.stream->setReadSpeed(-500);
    EXPECT_EQ(video.readSampleIndex(), 3);
    EXPECT_EQ(video.readSampleIndex(), 2);
    EXPECT_EQ(video.readSampleIndex(), 1);
}

TEST(VideoRead, SyncSampleModeStepsOnlyThroughSyncSamples)
{
    VideoSession video(videoMovie(R"("compression": "yuvs", "width": 8, "height": 4)",
                                  R"("count": 10, "duration": 60, "syncEvery": 3)"));
    EXPECT_TRUE(video.stream->setReadMode(2));
    for (int32_t sample : {0, 3, 6, 9})
        EXPECT_EQ(video.readSampleIndex(), sample);
    EXPECT_TRUE(video.stream->isEndOfStream());
    EXPECT_EQ(video.readSampleIndex(), -1);
}

TEST(VideoRead, NewDescriptionRebuildsTheDecodingBeforeItsPicture)
{
    VideoSession video(videoMovie(R"("compression": "jpeg", "width": 8, "height": 4)",
                                  R"("count": 4, "duration": 60)", R"(, "seedChanges": [2])"));
    for (int32_t sample = 0; sample < 4; ++sample)
        expectSample(video.read(), "YUY2", 8, 4, sample);
    const std::string setUp = "QT video, export output gepj, using DecompressSequence";
    const std::vector<std::string> expected = {setUp,
                                               "QT video buffer of 64 bytes s: 0 d: 100",
                                               "QT video buffer of 64 bytes s: 100 d: 100",
                                               setUp,
                                               "QT video buffer of 64 bytes s: 200 d: 100",
                                               "QT video buffer of 64 bytes s: 300 d: 100"};
    std::vector<std::string> lines;
    for (const std::string& line : video.messages(kReadFunction))
        if (line.rfind("QT video EOS", 0) != 0)  // the end of stream on the last sample
            lines.push_back(line);
    EXPECT_EQ(lines, expected);
}

TEST(VideoRead, StreamWithoutExportSourceFailsToRead)
{
    VideoSession video(kFiveSamples, false);
    const Frame unopened = video.read();
    EXPECT_EQ(unopened.result, kResultFailure);
    EXPECT_FALSE(unopened.delivered);
    ASSERT_EQ(video.stream->openStream(&video.clock), kResultSuccess);
    ASSERT_EQ(video.stream->closeStream(), kResultSuccess);
    EXPECT_EQ(video.read().result, kResultFailure);
}

} // namespace
} // namespace Qel::Testing
