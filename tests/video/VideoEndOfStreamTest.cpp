// The end of the stream in each read direction: every sample is delivered
// once, the last one flagged, then reads give up; turning round or opening
// again makes the stream readable and unflagged.
#include "MovieFixture.h"
#include "VideoSession.h"

namespace Qel::Testing {
namespace {

// One step of a script run against a video stream: a read with the sample
// it must deliver (-1: none) and the end-of-stream flag it must leave, or a
// change of speed or mode, a rewind, or a close and open.
struct Step {
    enum Kind { Read, Speed, Mode, Rewind, Reopen } kind;
    int32_t value = 0;
    bool endOfStream = false;
};

Step read(int32_t sample, bool endOfStream = false)
{
    return {Step::Read, sample, endOfStream};
}
Step speed(int32_t value)
{
    return {Step::Speed, value};
}
Step mode(int32_t value)
{
    return {Step::Mode, value};
}
const Step kRewind = {Step::Rewind};
const Step kReopen = {Step::Reopen};

// reads(first, last) reads samples first to last in order, the last one
// flagged as the end.
std::vector<Step> reads(int32_t first, int32_t last)
{
    std::vector<Step> steps;
    for (int32_t sample = first;; sample += first <= last ? 1 : -1) {
        steps.push_back(read(sample, sample == last));
        if (sample == last)
            return steps;
    }
}

struct Script {
    const char* name;
    std::string samples;  // the track's sample table (a JSON object or list)
    std::vector<std::vector<Step>> parts;
    friend void PrintTo(const Script& test, std::ostream* out) { *out << test.name; }
};

void run(VideoSession& video, const std::vector<Step>& steps)
{
    for (size_t at = 0; at < steps.size(); ++at) {
        SCOPED_TRACE("step " + std::to_string(at));
        const Step& step = steps[at];
        switch (step.kind) {
        case Step::Read:
            EXPECT_EQ(video.readSampleIndex(), step.value);
            EXPECT_EQ(video.stream->isEndOfStream(), step.endOfStream);
            break;
        case Step::Speed:
            EXPECT_TRUE(video.stream->setReadSpeed(step.value));
            break;
        case Step::Mode:
            EXPECT_TRUE(video.stream->setReadMode(step.value));
            break;
        case Step::Rewind:
            EXPECT_EQ(video.stream->rewindStream(), kResultSuccess);
            break;
        case Step::Reopen:
            EXPECT_EQ(video.stream->closeStream(), kResultSuccess);
            EXPECT_EQ(video.stream->openStream(&video.clock), kResultSuccess);
            EXPECT_FALSE(video.stream->isEndOfStream()) << "a fresh open starts unflagged";
            break;
        }
    }
}

class VideoEndOfStream : public ::testing::TestWithParam<Script> {};

TEST_P(VideoEndOfStream, EverySampleOnceAndTheFlagOnlyAtTheEnd)
{
    VideoSession video(videoMovieWithTable(R"("compression": "yuvs", "width": 8, "height": 4)", GetParam().samples));
    for (const std::vector<Step>& part : GetParam().parts)
        run(video, part);
}

const std::string kFiveSamples = R"({"count": 5, "duration": 60})";
// The only sample, or the only sync sample, starts after the movie's start.
const std::string kLateOnlySample = R"([{"time": 120, "duration": 60}])";
const std::string kLateSyncSample =
    R"([{"time": 120, "duration": 60}, {"time": 180, "duration": 60, "sync": false}])";

INSTANTIATE_TEST_SUITE_P(
    Scripts, VideoEndOfStream,
    ::testing::Values(
        Script{"OneSampleBackwardsFromTheEnd", R"({"count": 1, "duration": 60})",
               {{speed(-1000), kRewind, read(0, true), read(-1, true), read(-1, true)}}},
        Script{"OnlySampleAfterTheStartReadForwards", kLateOnlySample, {{read(0, true), read(-1, true)}}},
        Script{"OnlySyncSampleAfterTheStartInSyncSampleMode", kLateSyncSample,
               {{mode(2), read(0, true), read(-1, true), read(-1, true)}}},
        // Forwards from before the first sample, the first frame comes once.
        Script{"FromBeforeTheFirstSample", R"({"count": 3, "duration": 60, "start": 120})",
               {reads(0, 2), {read(-1, true)}}},
        Script{"TurningAtTheForwardEnd", kFiveSamples,
               {reads(0, 4), {read(-1, true), speed(-1000)}, reads(3, 0), {read(-1, true)}}},
        Script{"TurningAtTheForwardEndInSyncSampleMode", R"({"count": 6, "duration": 60, "syncEvery": 2})",
               {{mode(2), read(0), read(2), read(4, true), speed(-1000), read(2), read(0, true)}}},
        Script{"TurningAtTheBackwardEnd", kFiveSamples,
               {{speed(-1000), kRewind}, reads(4, 0), {speed(1000)}, reads(1, 4)}},
        Script{"OpeningAgainAfterTheEnd", kFiveSamples, {reads(0, 4), {kReopen}, reads(0, 4)}}),
    [](const ::testing::TestParamInfo<Script>& info) { return std::string(info.param.name); });

// The sound stream of a movie that has both kinds, read to its end, opens
// again unflagged as the video stream does.
TEST(StreamEndOfStream, SoundStreamOpensAgainUnflagged)
{
    VideoSession video(Movie::document(Movie::videoTrack() + "," + Movie::soundTrack()));
    StreamInterface* sound = video.otherStream(288);
    ASSERT_NE(sound, nullptr);
    ASSERT_EQ(sound->openStream(&video.clock), kResultSuccess);
    for (int attempt = 0; attempt < 10 && !sound->isEndOfStream(); ++attempt) {
        MediaChunk* chunk = nullptr;
        sound->readStream(&chunk);
        if (chunk)
            chunk->release();
    }
    ASSERT_TRUE(sound->isEndOfStream());
    ASSERT_EQ(sound->closeStream(), kResultSuccess);
    ASSERT_EQ(sound->openStream(&video.clock), kResultSuccess);
    EXPECT_FALSE(sound->isEndOfStream());
}

} // namespace
} // namespace Qel::Testing
