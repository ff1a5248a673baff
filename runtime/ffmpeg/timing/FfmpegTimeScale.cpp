#include "timing/FfmpegTimeScale.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <numeric>

namespace QelRuntime {

namespace {

constexpr int64_t kLargestTime = std::numeric_limits<int32_t>::max();
constexpr int32_t kFallbackScale = 600;

bool fits(int64_t scale, double lengthSeconds)
{
    return scale > 0 && scale <= kLargestTime && lengthSeconds * double(scale) < double(kLargestTime);
}

// Least common multiple, or 0 once it leaves the 31-bit range.
int64_t combine(int64_t a, int64_t b)
{
    if (a == 0 || b == 0)
        return 0;
    const int64_t multiple = a / std::gcd(a, b) * b;
    return multiple <= kLargestTime ? multiple : 0;
}

// The smallest scale in which ticks x num / den is whole for every tick.
int64_t exactScale(const VideoTiming& timing)
{
    int64_t common = 0;
    for (int64_t tick : timing.ticks)
        common = std::gcd(common, std::llabs(tick));
    if (common == 0)
        common = 1;
    const int64_t den = timing.timeBase.den;
    return den / std::gcd(den, common * timing.timeBase.num);
}

} // namespace

int32_t commonVideoScale(const std::vector<FfmpegRational>& videoBases, double lengthSeconds)
{
    if (videoBases.empty())
        return 0;
    int64_t ownBases = 1;
    for (const FfmpegRational& base : videoBases)
        ownBases = combine(ownBases, base.den);
    return fits(ownBases, lengthSeconds) ? int32_t(ownBases) : 0;
}

int32_t scaleBeyondVideoBases(const std::vector<VideoTiming>& video, double lengthSeconds, int soundRate)
{
    if (video.empty())
        return fits(soundRate, lengthSeconds) ? soundRate : kFallbackScale;
    int64_t smallestExact = 1;
    for (const VideoTiming& timing : video)
        smallestExact = combine(smallestExact, exactScale(timing));
    if (fits(smallestExact, lengthSeconds))
        return int32_t(smallestExact);
    return kFallbackScale;
}

int32_t resolvingMilliseconds(int32_t scale, double lengthSeconds)
{
    constexpr int64_t kMillisecond = 1000;
    if (scale <= 0 || scale >= kMillisecond)
        return scale;
    const int64_t finer = scale * ((kMillisecond + scale - 1) / scale);
    return fits(finer, lengthSeconds) ? int32_t(finer) : scale;
}

} // namespace QelRuntime
