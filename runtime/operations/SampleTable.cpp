#include "operations/SampleTable.h"

#include <algorithm>

namespace QelRuntime {

namespace {

bool considered(const SampleEntry& sample, int16_t flags)
{
    return (flags & kNextSyncSample) == 0 || sample.sync;
}

bool startsBefore(QtTimeValue time, const SampleEntry& sample)
{
    return time < sample.time;
}

} // namespace

int32_t nextInterestingSample(const std::vector<SampleEntry>& samples, int16_t flags, QtTimeValue time,
                              int32_t rate)
{
    // The first sample starting strictly after `time`.
    auto after = std::upper_bound(samples.begin(), samples.end(), time, startsBefore);
    if (rate >= 0) {
        for (auto it = after; it != samples.end(); ++it)
            if (considered(*it, flags))
                return int32_t(it - samples.begin());
        return -1;
    }
    // Samples before `after` start at or before `time`; drop one starting
    // exactly at `time`.
    auto it = after;
    while (it != samples.begin()) {
        --it;
        if (it->time < time && considered(*it, flags))
            return int32_t(it - samples.begin());
    }
    return -1;
}

int32_t sampleCovering(const std::vector<SampleEntry>& samples, QtTimeValue time)
{
    if (samples.empty())
        return -1;
    auto after = std::upper_bound(samples.begin(), samples.end(), time, startsBefore);
    if (after == samples.begin())
        return 0;
    return int32_t(after - samples.begin()) - 1;
}

} // namespace QelRuntime
