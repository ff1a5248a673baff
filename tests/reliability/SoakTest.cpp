// Long use in one process: many open/close cycles and many complete decodes
// must leave resident memory and open descriptors (handles under Windows)
// flat. The suite runs a quick version; QEL_SOAK_SCALE=full runs the full
// one by hand (10,000 open/close cycles, 1,000 decodes) and prints the
// figures. Memory is not judged under the sanitizers, whose allocators keep
// freed memory in quarantine on purpose.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "MovieFixture.h"
#include "MovieRoad.h"
#include "ReliabilitySupport.h"
#include "plugin/ResultCodes.h"
#if QEL_RELIABILITY_REAL_FILES
#include "TestMedia.h"
#endif

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define QEL_SOAK_JUDGES_MEMORY 0
#else
#define QEL_SOAK_JUDGES_MEMORY 1
#endif

namespace Qel::Reliability {
namespace {

namespace Movie = Testing::Movie;

bool fullScale()
{
    const char* scale = std::getenv("QEL_SOAK_SCALE");
    return scale && std::strcmp(scale, "full") == 0;
}

// Generous: the C library and the runtime may keep some freed memory.
constexpr size_t kResidentGrowthLimitKiB = 8 * 1024;

// Runs `cycle` a tenth of `count` times to warm up, then `count` times, and
// checks that the process holds no more than before.
void expectFlat(const char* what, int count, const std::function<void()>& cycle)
{
    for (int warmUp = 0; warmUp < count / 10 + 1; ++warmUp)
        cycle();
    const size_t residentBefore = residentKiB();
    const size_t handlesBefore = openHandles();
    for (int round = 0; round < count; ++round)
        cycle();
    const size_t residentAfter = residentKiB();
    const size_t handlesAfter = openHandles();
    std::printf("%s x %d: resident %zu -> %zu KiB, handles %zu -> %zu\n", what, count, residentBefore,
                residentAfter, handlesBefore, handlesAfter);
    EXPECT_LE(handlesAfter, handlesBefore) << what;
#if QEL_SOAK_JUDGES_MEMORY
    EXPECT_LE(residentAfter, residentBefore + kResidentGrowthLimitKiB) << what;
#endif
}

class SoakTest : public ::testing::Test {
protected:
    Testing::MovieFixture movies;
    const std::string movie = movies.write(
        "movie.json", Movie::document(Movie::videoTrack("vide", 25) + "," + Movie::soundTrack(6)));
};

TEST_F(SoakTest, OpenCloseCyclesHoldNothing)
{
    expectFlat("open/close", fullScale() ? 10000 : 300, [this] {
        const RoadOutcome outcome = runRoad(movie, nullptr, 0);
        ASSERT_EQ(outcome.openResult, kResultSuccess);
        ASSERT_EQ(outcome.streamsOpened, 2u);
    });
}

TEST_F(SoakTest, CompleteDecodesOfASyntheticMovieHoldNothing)
{
    const std::string script = decodeAllScript();
    expectFlat("synthetic decode", fullScale() ? 1000 : 60, [&] {
        const RoadOutcome outcome = runRoad(movie, reinterpret_cast<const uint8_t*>(script.data()), script.size());
        ASSERT_EQ(outcome.openResult, kResultSuccess);
        ASSERT_GE(outcome.chunks, 25u);
    });
}

#if QEL_RELIABILITY_REAL_FILES
TEST_F(SoakTest, CompleteDecodesOfARealMovieHoldNothing)
{
    const std::string real = Testing::testMedia(
        "soak.mp4", "-f lavfi -i testsrc2=size=160x120:rate=25:duration=1 -f lavfi -i sine=frequency=440:duration=1 "
                    "-c:v libx264 -g 10 -pix_fmt yuv420p -c:a aac -ac 2");
    ASSERT_FALSE(real.empty());
    const std::string script = decodeAllScript();
    expectFlat("real decode", fullScale() ? 1000 : 30, [&] {
        const RoadOutcome outcome = runRoad(real, reinterpret_cast<const uint8_t*>(script.data()), script.size());
        ASSERT_EQ(outcome.openResult, kResultSuccess);
        ASSERT_GE(outcome.chunks, 25u);
    });
}
#endif

} // namespace
} // namespace Qel::Reliability
