#include <gtest/gtest.h>

#include "synthetic/SyntheticDocument.h"
#include "synthetic/SyntheticPattern.h"

namespace QelRuntime {
namespace {

SyntheticMovie parse(const std::string& text)
{
    SyntheticMovie movie;
    std::string error;
    EXPECT_TRUE(parseSyntheticMovie(text, movie, error)) << error;
    return movie;
}

std::string refusal(const std::string& text)
{
    SyntheticMovie movie;
    std::string error;
    EXPECT_FALSE(parseSyntheticMovie(text, movie, error)) << text;
    return error;
}

TEST(SyntheticDocument, DefaultsAndDurationFromTheLongestTrack)
{
    SyntheticMovie movie = parse(R"({"qelSyntheticMovie": 1, "tracks": [
        {"type": "vide", "video": {"compression": "jpeg", "width": 8, "height": 4},
         "samples": {"count": 3, "duration": 100, "start": 50}},
        {"type": "soun", "audio": {"sampleRate": 1000, "channels": 1, "frames": 1001}},
        {"type": null}]})");
    EXPECT_EQ(movie.model.timeScale, 600);
    EXPECT_EQ(movie.model.duration, 601);  // ceil(1001 frames at 1000 Hz in 1/600 s)
    EXPECT_FALSE(movie.model.userData);
    ASSERT_EQ(movie.model.tracks.size(), 3u);
    EXPECT_FALSE(movie.model.tracks[2].mediaType);
    EXPECT_EQ(movie.model.tracks[0].samples[2].time, 250);
    EXPECT_EQ(movie.model.tracks[0].descriptions[0].dataSize, kTokenSize);
    EXPECT_EQ(movie.model.tracks[0].descriptions[0].depth, 24);
}

TEST(SyntheticDocument, RawSampleSizesIncludeRowPadding)
{
    auto sizeOf = [](const std::string& video) {
        SyntheticMovie movie = parse(R"({"qelSyntheticMovie": 1, "tracks": [{"type": "vide", "video": )" + video +
                                     R"(, "samples": {"count": 1, "duration": 1}}]})");
        return movie.model.tracks[0].descriptions[0].dataSize;
    };
    EXPECT_EQ(sizeOf(R"({"compression": "yuvs", "width": 8, "height": 4, "rowPadding": 3})"), 4 * 19);
    EXPECT_EQ(sizeOf(R"({"compression": "raw ", "width": 8, "height": 4})"), 4 * 24);
    EXPECT_EQ(sizeOf(R"({"compression": "raw ", "width": 8, "height": 4, "depth": 32})"), 4 * 32);
    EXPECT_EQ(sizeOf(R"({"compression": 32, "width": 8, "height": 4})"), 4 * 32);
    // Luma 8 x (8 + 4) bytes, then V and U of 2 rows of ceil(12 / 4) = 3 bytes.
    EXPECT_EQ(sizeOf(R"({"compression": "YVU9", "width": 8, "height": 8, "rowPadding": 4})"), 96 + 6 + 6);
}

TEST(SyntheticDocument, SeedChangesStartNewDescriptions)
{
    SyntheticMovie movie = parse(R"({"qelSyntheticMovie": 1, "tracks": [{"type": "vide",
        "video": {"compression": "2vuy", "width": 4, "height": 4},
        "samples": {"count": 6, "duration": 10, "syncEvery": 3}, "seedChanges": [4, 2]}]})");
    const TrackModel& track = movie.model.tracks[0];
    EXPECT_EQ(track.descriptions.size(), 3u);
    std::vector<int32_t> indices;
    std::vector<bool> sync;
    for (const SampleEntry& sample : track.samples) {
        indices.push_back(sample.descriptionIndex);
        sync.push_back(sample.sync);
    }
    EXPECT_EQ(indices, (std::vector<int32_t>{0, 0, 1, 1, 2, 2}));
    EXPECT_EQ(sync, (std::vector<bool>{true, false, false, true, false, false}));
}

TEST(SyntheticDocument, UserDataAndFaultsAreRead)
{
    SyntheticMovie movie = parse(R"({"qelSyntheticMovie": 1, "userData": {"name": "Quay", "ctyp": "qtvr"},
        "faults": [{"operation": "QtExtractFill", "complete": true, "fromCall": 2, "calls": 1},
                   {"operation": "ExportDataFunction", "descriptionType": "soun", "track": 1}]})");
    EXPECT_EQ(*movie.model.userData->name, "Quay");
    EXPECT_EQ(*movie.model.userData->ctyp, fourCc('q', 't', 'v', 'r'));
    ASSERT_EQ(movie.model.faults.size(), 2u);
    EXPECT_TRUE(movie.model.faults[0].complete);
    EXPECT_EQ(movie.model.faults[0].fromCall, 2);
    EXPECT_EQ(*movie.model.faults[1].descriptionType, fourCc('s', 'o', 'u', 'n'));
}

TEST(SyntheticDocument, MalformedDocumentsAreRefusedWithAReason)
{
    EXPECT_NE(refusal(R"({"qelSyntheticMovie": 2})").find("qelSyntheticMovie"), std::string::npos);
    EXPECT_NE(refusal("{").find("parse"), std::string::npos);
    EXPECT_NE(refusal(R"({"qelSyntheticMovie": 1, "timescale": 600})").find("timescale"), std::string::npos);
    refusal(R"({"qelSyntheticMovie": 1, "tracks": [{"type": "vid"}]})");
    refusal(R"({"qelSyntheticMovie": 1, "tracks": [{"type": "vide", "video": {"compression": "yuvs",
        "width": 5, "height": 4}, "samples": {"count": 1, "duration": 1}}]})");
    refusal(R"({"qelSyntheticMovie": 1, "tracks": [{"type": "vide", "video": {"compression": "raw ",
        "width": 4, "height": 4, "depth": 16}, "samples": {"count": 1, "duration": 1}}]})");
    refusal(R"({"qelSyntheticMovie": 1, "tracks": [{"type": "vide", "video": {"compression": "yuvs",
        "width": 4, "height": 4}}]})");
    refusal(R"({"qelSyntheticMovie": 1, "tracks": [{"type": "soun", "audio": {"sampleRate": 8000,
        "channels": 9, "frames": 1}}]})");
    refusal(R"({"qelSyntheticMovie": 1, "tracks": [{"type": "text", "samples": [
        {"time": 0, "duration": 10}, {"time": 5, "duration": 10}]}]})");
    refusal(R"({"qelSyntheticMovie": 1, "faults": [{"operation": "QtMovieTrackCount", "status": -50}]})");
    refusal(R"({"qelSyntheticMovie": 1, "faults": [{"operation": "QtMediaType", "complete": true}]})");
    refusal(R"({"qelSyntheticMovie": 1, "faults": [{"operation": "QtExtractFill"}]})");
}

TEST(SyntheticPattern, DownmixIsAWeightedMeanThatNeverClips)
{
    using namespace QelRuntime::SyntheticPattern;
    const int16_t loud[6] = {32767, 32767, 32767, 32767, 32767, 32767};
    EXPECT_EQ(downmixStereo(loud, 6, 0), 32767);
    const int16_t quiet[6] = {-32768, -32768, -32768, 0, -32768, -32768};
    EXPECT_EQ(downmixStereo(quiet, 6, 1), -32768);  // LFE has no weight
    // L = (16384 L + 11585 C + 11585 Ls) / 39554, rounded half away from zero.
    const int16_t frame[6] = {1000, -7, 2000, 5000, 3000, 11};
    EXPECT_EQ(downmixStereo(frame, 6, 0), int16_t((16384 * 1000 + 11585 * 2000 + 11585 * 3000 + 19777) / 39554));
    EXPECT_EQ(sampleIndexFromLuma(lumaAt(0, 0, 200)), 200);
}

} // namespace
} // namespace QelRuntime
