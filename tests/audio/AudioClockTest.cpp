// Following the host's clock: while it runs backwards or in sync-sample
// mode, reads deliver nothing and keep the stream 10 ms behind the clock;
// the read speed and mode rules that lead there.
#include "AudioStreamTest.h"
#include "LogCapture.h"

namespace Qel::Testing {
namespace {

using Lines = std::vector<std::string>;

TEST_F(AudioStreamTest, InSyncSampleModeReadsTrailTheRunningClockAndDeliverNothing)
{
    open(soundMovie(44100, 2, 200000));
    ASSERT_TRUE(stream->setReadMode(2));
    clock.set(true, 2000);
    LogCapture log;
    ReadChunk trailing = read();
    EXPECT_EQ(trailing.status, kResultFailure);
    EXPECT_FALSE(trailing.delivered);
    EXPECT_EQ(stream->getPosition(), 1990u);
    EXPECT_FALSE(stream->isEndOfStream());
    EXPECT_EQ(log.messages(kSeekStream), (Lines{"QT audio seeking to: 1990", "QT audio sook to t: 1990 b: 351036"}));
    EXPECT_TRUE(log.messages(kReadStream).empty());

    clock.setTime(1500);
    EXPECT_EQ(read().status, kResultFailure);
    EXPECT_EQ(stream->getPosition(), 1490u);

    // Once the clock stops, reading goes on from where the stream trailed it.
    clock.setRunning(false);
    ReadChunk resumed = read();
    ASSERT_TRUE(resumed.delivered);
    EXPECT_EQ(resumed.start, 1490u);
    EXPECT_TRUE(matchesSignal(resumed.samples, 65709, 2, 2, false));  // 894 units of 600 at 44100 Hz
}

TEST_F(AudioStreamTest, ReadingBackwardsForcesSyncSampleModeUntilContinuousIsAskedForwards)
{
    open(soundMovie(44100, 2, 100000));
    while (read().delivered) {
    }
    ASSERT_TRUE(stream->isEndOfStream());
    ASSERT_TRUE(stream->setReadMode(1));
    ASSERT_TRUE(stream->setReadSpeed(-1000));
    EXPECT_EQ(stream->getReadMode(), 2);
    EXPECT_FALSE(stream->isEndOfStream());
    EXPECT_FALSE(stream->setReadMode(1));
    EXPECT_EQ(stream->getReadMode(), 2);

    clock.set(true, 500);
    EXPECT_FALSE(read().delivered);
    EXPECT_EQ(stream->getPosition(), 490u);

    // Forwards again the mode stays until the host changes it.
    ASSERT_TRUE(stream->setReadSpeed(1000));
    EXPECT_EQ(stream->getReadMode(), 2);
    EXPECT_FALSE(read().delivered);
    ASSERT_TRUE(stream->setReadMode(1));
    ReadChunk resumed = read();
    ASSERT_TRUE(resumed.delivered);
    EXPECT_EQ(resumed.start, 490u);
}

// The clock's first 10 ms trail to the start rather than to a time wrapped
// around below zero.
TEST_F(AudioStreamTest, AClockInItsFirstTenMillisecondsTrailsToTheStart)
{
    open(soundMovie(44100, 2, 100000));
    read();
    ASSERT_TRUE(stream->setReadSpeed(-1000));
    clock.set(true, 4);
    LogCapture log;
    EXPECT_FALSE(read().delivered);
    EXPECT_EQ(stream->getPosition(), 0u);
    Lines messages = log.messages(kSeekStream);
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.front(), "QT audio seeking to: 0");
}

} // namespace
} // namespace Qel::Testing
