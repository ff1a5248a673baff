// Runtime failures injected into the synthetic movie, each with its failure
// line and result, and the stream's lifecycle around them: a failed open
// closes and opens again, close is safe at any time, and a stream that is
// not open refuses to read or seek.
#include "AudioStreamTest.h"
#include "LogCapture.h"

namespace Qel::Testing {
namespace {

using Lines = std::vector<std::string>;

struct OpenFailure {
    const char* name;
    int channels;
    const char* operation;
    int nth;
};

class AudioOpenFailure : public AudioStreamTest, public ::testing::WithParamInterface<OpenFailure> {};

TEST_P(AudioOpenFailure, IsLoggedAndFailsTheOpenWhichCloseAndOpenRecoverFrom)
{
    const OpenFailure& failure = GetParam();
    load(soundMovie(44100, failure.channels, 50000, failingCall(failure.operation, failure.nth)));
    {
        LogCapture log;
        EXPECT_EQ(stream->openStream(&clock), kResultFailure);
        EXPECT_EQ(log.messages(kOpenStream), (Lines{kInjectedFailureLine}));
    }
    EXPECT_EQ(stream->closeStream(), kResultSuccess);
    ASSERT_EQ(stream->openStream(&clock), kResultSuccess);
    ReadChunk chunk = read();
    ASSERT_TRUE(chunk.delivered);
    EXPECT_TRUE(matchesSignal(chunk.samples, 0, failure.channels, 2, failure.channels > 2));
}

INSTANTIATE_TEST_SUITE_P(
    EveryRuntimeStep, AudioOpenFailure,
    ::testing::Values(OpenFailure{"Begin", 2, "QtExtractBegin", 1},
                      OpenFailure{"FormatGet", 2, "QtExtractPropertyGet", 1},
                      OpenFailure{"FormatSet", 2, "QtExtractPropertySet", 1},
                      OpenFailure{"FormatGetBack", 2, "QtExtractPropertyGet", 2},
                      OpenFailure{"LayoutSet", 6, "QtExtractPropertySet", 2},
                      OpenFailure{"LayoutSize", 6, "QtExtractPropertyInfo", 1},
                      OpenFailure{"LayoutGet", 6, "QtExtractPropertyGet", 3}),
    [](const ::testing::TestParamInfo<OpenFailure>& info) { return std::string(info.param.name); });

TEST_F(AudioStreamTest, AFailedFillEndsTheStreamUntilASeek)
{
    open(soundMovie(44100, 2, 50000, failingCall("QtExtractFill", 1)));
    LogCapture log;
    ReadChunk failed = read();
    EXPECT_EQ(failed.status, kResultFailure);
    EXPECT_FALSE(failed.delivered);
    EXPECT_TRUE(stream->isEndOfStream());
    EXPECT_EQ(log.messages(kReadStream), (Lines{kInjectedFailureLine, "QT audio failed with code 1094861636"}));

    uint32_t reached = 99;
    EXPECT_EQ(stream->seekStream(0, &reached, 0), kResultSuccess);
    EXPECT_FALSE(stream->isEndOfStream());
    ReadChunk chunk = read();
    ASSERT_TRUE(chunk.delivered);
    EXPECT_TRUE(matchesSignal(chunk.samples, 0, 2, 2, false));
}

TEST_F(AudioStreamTest, ACompletionSeenWithDataDeliversItAndFailsTheNextRead)
{
    open(soundMovie(44100, 2, 200000, R"({"operation": "QtExtractFill", "complete": true, "fromCall": 2, "calls": 1})"));
    read();
    ReadChunk last = read();
    ASSERT_TRUE(last.delivered);
    EXPECT_TRUE(matchesSignal(last.samples, 32768, 2, 2, false));
    LogCapture log;
    EXPECT_FALSE(read().delivered);
    EXPECT_TRUE(stream->isEndOfStream());
    EXPECT_EQ(log.messages(kReadStream), (Lines{"QT audio failed with code 0"}));

    // The seek starts a fresh extraction.
    uint32_t reached = 0;
    EXPECT_EQ(stream->seekStream(1000, &reached, 0), kResultSuccess);
    EXPECT_EQ(reached, 1000u);
    ReadChunk resumed = read();
    EXPECT_EQ(resumed.start, 1000u);
    EXPECT_TRUE(matchesSignal(resumed.samples, 44100, 2, 2, false));
}

TEST_F(AudioStreamTest, ASeekFailsWhenTheRuntimeReportsNoTime)
{
    open(soundMovie(44100, 2, 50000, failingCall("QtExtractPropertyGet", 3)));
    LogCapture log;
    uint32_t reached = 77;
    EXPECT_EQ(stream->seekStream(500, &reached, 0), kResultFailure);
    EXPECT_EQ(reached, 77u);
    EXPECT_EQ(log.messages(kSeekStream), (Lines{"QT audio seeking to: 500"}));
}

TEST_F(AudioStreamTest, CloseIsSafeBeforeOpenAndTwiceAndTheStreamOpensAgainFromTheStart)
{
    load(soundMovie(44100, 2, 100000));
    EXPECT_EQ(stream->closeStream(), kResultSuccess);
    ASSERT_EQ(stream->openStream(&clock), kResultSuccess);
    read();
    read();
    EXPECT_EQ(stream->closeStream(), kResultSuccess);
    EXPECT_EQ(stream->closeStream(), kResultSuccess);

    ASSERT_EQ(stream->openStream(&clock), kResultSuccess);
    EXPECT_EQ(stream->getPosition(), 0u);
    ReadChunk first = read();
    EXPECT_EQ(first.start, 0u);
    EXPECT_TRUE(matchesSignal(first.samples, 0, 2, 2, false));
}

// An open that follows an open replaces the extraction and starts again.
TEST_F(AudioStreamTest, OpeningAnOpenStreamStartsItAfresh)
{
    open(soundMovie(44100, 2, 100000));
    read();
    ASSERT_EQ(stream->openStream(&clock), kResultSuccess);
    ReadChunk first = read();
    EXPECT_EQ(first.start, 0u);
    EXPECT_TRUE(matchesSignal(first.samples, 0, 2, 2, false));
}

// Reads and seeks on a stream without an open extraction fail without
// asking the runtime anything.
TEST_F(AudioStreamTest, AStreamThatIsNotOpenRefusesToReadOrSeek)
{
    load(soundMovie(44100, 2, 100000));
    LogCapture log;
    ReadChunk chunk = read();
    EXPECT_EQ(chunk.status, kResultFailure);
    EXPECT_FALSE(chunk.delivered);
    uint32_t reached = 77;
    EXPECT_EQ(stream->seekStream(500, &reached, 0), kResultFailure);
    EXPECT_EQ(reached, 77u);
    EXPECT_EQ(log.messages(), (Lines{"QT audio seeking to: 500"}));

    ASSERT_EQ(stream->openStream(&clock), kResultSuccess);
    ASSERT_EQ(stream->closeStream(), kResultSuccess);
    EXPECT_FALSE(read().delivered);
    EXPECT_EQ(stream->seekStream(500, &reached, 0), kResultFailure);
}

} // namespace
} // namespace Qel::Testing
