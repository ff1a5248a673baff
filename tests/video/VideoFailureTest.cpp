// Runtime failures while reading: each gives its lines and the failure
// code, delivers nothing, and leaves the stream at the time that failed.
#include "VideoSession.h"

namespace Qel::Testing {
namespace {

struct FailureCase {
    const char* name;
    const char* compression;
    const char* fault;  // one entry of the movie's "faults" list
    std::vector<std::string> lines;
};

class VideoFailureTest : public testing::TestWithParam<FailureCase> {};

TEST_P(VideoFailureTest, FailedReadKeepsItsPlace)
{
    const FailureCase& failure = GetParam();
    VideoSession video(videoMovie(R"("compression": ")" + std::string(failure.compression) +
                                      R"(", "width": 8, "height": 4)",
                                  R"("count": 3, "duration": 60)", "", failure.fault));
    EXPECT_EQ(video.readSampleIndex(), 0);
    const uint32_t position = video.stream->getPosition();
    const size_t linesBefore = video.messages(kReadFunction).size();

    const Frame failed = video.read();
    EXPECT_EQ(failed.result, kResultFailure);
    EXPECT_FALSE(failed.delivered);
    EXPECT_FALSE(video.stream->isEndOfStream());
    EXPECT_EQ(video.stream->getPosition(), position);
    const std::vector<std::string> lines = video.messages(kReadFunction);
    EXPECT_EQ(std::vector<std::string>(lines.begin() + linesBefore, lines.end()), failure.lines);

    expectSample(video.read(), "YUY2", 8, 4, 1);
}

const std::string kJpegSetUp = "QT video, export output gepj, using DecompressSequence";

// Call 1 of the data function is the probe at open, call 2 the first read.
INSTANTIATE_TEST_SUITE_P(
    EachInjectedFailure, VideoFailureTest,
    testing::Values(
        FailureCase{"fetch", "yuvs", R"({"operation": "ExportDataFunction", "status": -8961, "fromCall": 3, "calls": 1})",
                    {qtFailureLine(-8961), "QT video readStream failing with: -8961"}},
        FailureCase{"descriptionType", "yuvs",
                    R"({"operation": "ExportDataFunction", "descriptionType": "soun", "fromCall": 3, "calls": 1})",
                    {qtFailureLine(-50), "QT video readStream failing with: -50"}},
        FailureCase{"nullDescription", "yuvs",
                    R"({"operation": "ExportDataFunction", "nullDescription": true, "fromCall": 3, "calls": 1})",
                    {"QT video readStream failing with: -50"}},
        FailureCase{"frame", "jpeg", R"({"operation": "QtDecompressFrame", "status": -8969, "fromCall": 2, "calls": 1})",
                    {qtFailureLine(-8969), "QT video readStream failing with: -8969"}}),
    [](const testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

// Failures of the decoding set-up, made by the first read after an open.
struct SetUpCase {
    const char* name;
    const char* fault;
    std::vector<std::string> lines;
};

class VideoSetUpFailureTest : public testing::TestWithParam<SetUpCase> {};

TEST_P(VideoSetUpFailureTest, FailedSetUpIsRemadeByTheNextRead)
{
    const SetUpCase& failure = GetParam();
    VideoSession video(videoMovie(R"("compression": "jpeg", "width": 8, "height": 4)", R"("count": 3, "duration": 60)",
                                  "", failure.fault));
    const Frame failed = video.read();
    EXPECT_EQ(failed.result, kResultFailure);
    EXPECT_FALSE(failed.delivered);
    EXPECT_EQ(video.stream->getPosition(), 0u);
    EXPECT_EQ(video.messages(kReadFunction), failure.lines);
    expectSample(video.read(), "YUY2", 8, 4, 0);
}

INSTANTIATE_TEST_SUITE_P(
    EachInjectedFailure, VideoSetUpFailureTest,
    testing::Values(
        SetUpCase{"nullSurface", R"({"operation": "QtSurfaceCreate", "nullSurface": true, "calls": 1})",
                  {kJpegSetUp, "failed to create gworld, no error returned", "QT video readStream failing with: 0"}},
        SetUpCase{"surface", R"({"operation": "QtSurfaceCreate", "status": -108, "calls": 1})",
                  {kJpegSetUp, qtFailureLine(-108), "QT video readStream failing with: -108"}},
        SetUpCase{"sequence", R"({"operation": "QtDecompressStart", "status": -8960, "calls": 1})",
                  {kJpegSetUp, qtFailureLine(-8960), "QT video readStream failing with: -8960"}}),
    [](const testing::TestParamInfo<SetUpCase>& info) { return std::string(info.param.name); });

} // namespace
} // namespace Qel::Testing
