// The sample tables' rescaling gives exactly what av_rescale_q gives:
// halves, negative times, products past 64 bits and FFmpeg's "no time".
#include "timing/FfmpegRescaler.h"

#include <gtest/gtest.h>

#include <random>

namespace Qel::Testing {
namespace {

using namespace QelRuntime;

TEST(FfmpegRescaler, AgreesWithFfmpegEverywhere)
{
    const AVRational bases[] = {{1, 48000}, {1, 15360}, {1, 90000}, {1001, 30000}, {1, 44100},
                                {1, 600},   {1, 1},     {3, 7},     {1, 2},        {1, 12800}};
    std::mt19937_64 random(7);
    std::uniform_int_distribution<int64_t> times(-(int64_t(1) << 40), int64_t(1) << 40);
    for (const AVRational& from : bases) {
        for (const AVRational& to : bases) {
            const FfmpegRescaler rescale(from, to);
            std::vector<int64_t> values = {0, 1, -1, 2, -2, 3, 5, -5, 24000, -24000, 7499, 7500, -7500,
                                           INT64_MAX, INT64_MIN, INT64_MIN + 1, INT64_MAX / 3};
            for (int i = 0; i < 2000; ++i)
                values.push_back(times(random));
            for (int64_t value : values)
                ASSERT_EQ(rescale(value), av_rescale_q(value, from, to))
                    << value << " from " << from.num << "/" << from.den << " to " << to.num << "/" << to.den;
        }
    }
}

} // namespace
} // namespace Qel::Testing
