#include "movie/FrameTiming.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace Qel::Cli {

namespace {

// Whole-number rates before the 1001-based rate just below them.
constexpr FrameRate kUsualRates[] = {{24, 1},  {24000, 1001}, {25, 1},  {30, 1},  {30000, 1001}, {48, 1},
                                     {50, 1},  {60, 1},       {60000, 1001}, {120, 1}, {15, 1}, {12, 1},
                                     {10, 1},  {5, 1},        {1, 1}};
// A truncated start lies less than this from the exact time.
constexpr double kStartSlackMs = 1.0;
// A truncated (or rounded) duration lies within this of the period.
constexpr double kDurationSlackMs = 1.5;
// A single frame without a duration: taken as 25 fps.
constexpr double kUnknownPeriodMs = 40.0;

double periodOf(FrameRate rate)
{
    return 1000.0 * rate.denominator / rate.numerator;
}

} // namespace

FrameTiming::FrameTiming()
{
    for (const FrameRate& rate : kUsualRates)
        candidates.push_back({rate, true});
}

void FrameTiming::add(uint32_t startMs, uint32_t durationMs)
{
    if (frames == 0) {
        firstStart = lowestStart = highestStart = startMs;
    }
    ++frames;
    ++durations[durationMs];
    lowestStart = std::min(lowestStart, startMs);
    highestStart = std::max(highestStart, startMs);
    const double offset = double(startMs) - double(firstStart);
    for (Candidate& candidate : candidates) {
        const double period = periodOf(candidate.rate);
        const double steps = std::round(offset / period);
        if (std::fabs(offset - steps * period) > kStartSlackMs)
            candidate.fits = false;
    }
}

uint32_t FrameTiming::commonestDuration() const
{
    auto commonest = std::max_element(durations.begin(), durations.end(),
                                      [](const auto& a, const auto& b) { return a.second < b.second; });
    return commonest == durations.end() ? 0 : commonest->first;
}

const FrameTiming::Candidate* FrameTiming::fitting() const
{
    const double duration = commonestDuration();
    for (const Candidate& candidate : candidates) {
        if (candidate.fits && std::fabs(periodOf(candidate.rate) - duration) <= kDurationSlackMs)
            return &candidate;
    }
    return nullptr;
}

// Never below a millisecond, the finest step a stream can stamp.
double FrameTiming::fallbackPeriodMs() const
{
    const double duration = commonestDuration();
    if (frames < 2)
        return duration > 0 ? duration : kUnknownPeriodMs;
    const double mean = double(highestStart - lowestStart) / double(frames - 1);
    // A mean well above the durations means frames are missing in between.
    return std::max(1.0, duration > 0 && mean > duration + kDurationSlackMs ? duration : mean);
}

double FrameTiming::periodMs() const
{
    const Candidate* candidate = fitting();
    return candidate ? periodOf(candidate->rate) : fallbackPeriodMs();
}

FrameRate FrameTiming::rate() const
{
    if (const Candidate* candidate = fitting())
        return candidate->rate;
    // Thousandths of a frame a second, reduced.
    const uint32_t numerator = uint32_t(std::llround(1000000.0 / fallbackPeriodMs()));
    const uint32_t divisor = std::gcd(numerator, 1000u);
    return numerator == 0 ? FrameRate{1, 1000} : FrameRate{numerator / divisor, 1000 / divisor};
}

int64_t FrameTiming::stepsFromFirst(uint32_t startMs) const
{
    return std::llround((double(startMs) - double(firstStart)) / periodMs());
}

} // namespace Qel::Cli
