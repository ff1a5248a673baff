// Samples delivered as they are (direct mode) with padded rows: the stride
// between rows follows the description of each sample, or the sample's own
// size when its description states none.
#include "VideoSession.h"

namespace Qel::Testing {
namespace {

struct PaddedRows {
    const char* name;
    std::string video;        // the body of the track's "video" object
    std::string seedChanges;  // the track's "seedChanges" list
    friend void PrintTo(const PaddedRows& test, std::ostream* out) { *out << test.name; }
};

class VideoStride : public ::testing::TestWithParam<PaddedRows> {};

TEST_P(VideoStride, EveryRowOfEverySampleArrivesInPlace)
{
    VideoSession video(videoMovie(GetParam().video + R"(, "width": 8, "height": 4)",
                                  R"("count": 4, "duration": 60)", R"(, "seedChanges": )" + GetParam().seedChanges));
    ASSERT_STREQ(video.formatText(), "YUY2");
    for (int32_t sample = 0; sample < 4; ++sample) {
        SCOPED_TRACE(sample);
        expectSample(video.read(), "YUY2", 8, 4, sample);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Tracks, VideoStride,
    ::testing::Values(
        PaddedRows{"DescriptionWithoutDataSize", R"("compression": "yuvs", "rowPadding": 8, "descriptionDataSize": 0)",
                   "[]"},
        PaddedRows{"LaterDescriptionWithLongerRows", R"("compression": "yuvs", "rowPadding": 8)",
                   R"([{"sample": 2, "rowPadding": 20}])"},
        // The probe at half the movie finds 'yuvs'; the first sample is
        // decompressed before the others are delivered as they are.
        PaddedRows{"DirectAfterDecompression", R"("compression": "jpeg")",
                   R"([{"sample": 1, "compression": "yuvs", "rowPadding": 8}])"},
        PaddedRows{"LaterDescriptionWithoutDataSize", R"("compression": "yuvs", "rowPadding": 4)",
                   R"([{"sample": 1, "rowPadding": 12, "descriptionDataSize": 0}])"}),
    [](const ::testing::TestParamInfo<PaddedRows>& info) { return std::string(info.param.name); });

} // namespace
} // namespace Qel::Testing
