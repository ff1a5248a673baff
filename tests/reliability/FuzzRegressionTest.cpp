// Every input that once made the road fuzz target fail, replayed through the
// same road (the input is the movie file, its last 12 bytes the script) and
// pinned to the results it must give now. The inputs live in
// fuzz/regressions/fuzz_movie_road/, found through QEL_SOURCE_DIR.
#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "MovieRoad.h"
#include "plugin/ResultCodes.h"

namespace Qel::Reliability {
namespace {

struct Regression {
    const char* file;
    bool needsRealFiles;  // decoded by the runtime's FFmpeg source
    int32_t openResult;
    size_t streams;
    size_t streamsOpened;
};

const Regression kRegressions[] = {
    // An AVI whose damaged header claims a 32767 x 32767 picture: the runtime
    // describes no picture, so the stream refuses to open instead of making
    // frames of gigabytes.
    {"avi-huge-picture.avi", true, kResultSuccess, 1, 0},
    // A movie whose sound frames change their format midway: the runtime
    // makes a resampler for the new format instead of reading planes the
    // frames do not have.
    {"mov-sound-format-change.mov", true, kResultSuccess, 1, 3},
    // An MPEG-1 picture whose colour description carries a matrix code (192)
    // outside FFmpeg's enumeration: the runtime reads the code as an integer
    // and takes the picture as BT.601.
    {"mpeg-colour-code-outside-enum.mpg", true, kResultSuccess, 1, 3},
};

void PrintTo(const Regression& regression, std::ostream* out)
{
    *out << regression.file;
}

class FuzzRegressionTest : public ::testing::TestWithParam<Regression> {};

TEST_P(FuzzRegressionTest, GivesItsPinnedResults)
{
    const Regression& regression = GetParam();
#if !QEL_RELIABILITY_REAL_FILES
    if (regression.needsRealFiles)
        GTEST_SKIP() << "this build's runtime reads no real media files";
#endif
    const char* sourceDir = std::getenv("QEL_SOURCE_DIR");
    if (!sourceDir)
        GTEST_SKIP() << "QEL_SOURCE_DIR is not set";
    const std::string path = std::string(sourceDir) + "/fuzz/regressions/fuzz_movie_road/" + regression.file;
    std::ifstream in(path, std::ios::binary);
    ASSERT_TRUE(in) << path;
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t scriptLength = std::min<size_t>(bytes.size(), 12);
    const RoadOutcome outcome =
        runRoad(path, reinterpret_cast<const uint8_t*>(bytes.data()) + bytes.size() - scriptLength, scriptLength);
    EXPECT_EQ(outcome.openResult, regression.openResult);
    EXPECT_EQ(outcome.streams, regression.streams);
    EXPECT_EQ(outcome.streamsOpened, regression.streamsOpened);
}

INSTANTIATE_TEST_SUITE_P(Inputs, FuzzRegressionTest, ::testing::ValuesIn(kRegressions));

} // namespace
} // namespace Qel::Reliability
