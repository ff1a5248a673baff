// What both sides of a benchmark share: the clock, the peak resident memory,
// the seek times, and the one output format that scripts/bench.sh reads:
// one "name value" line per figure on standard output.
#pragma once

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <random>
#include <vector>

namespace Qel::Bench {

using Steady = std::chrono::steady_clock;

inline double secondsSince(Steady::time_point start)
{
    return std::chrono::duration<double>(Steady::now() - start).count();
}

// The largest resident set the process has had so far, in MiB.
inline double peakResidentMiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in KiB on Linux
}

// The processor time of all the process's threads so far, in seconds: on a
// shared machine a fairer measure of the work done than the wall clock.
inline double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

inline void report(const char* name, double value)
{
    std::printf("%s %.6f\n", name, value);
    std::fflush(stdout);
}

// The q-quantile (0..1) of values, by the nearest rank.
inline double quantile(std::vector<double> values, double q)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t rank = size_t(q * double(values.size() - 1) + 0.5);
    return values[std::min(rank, values.size() - 1)];
}

// count seek targets in [0, durationMs), the same on both sides for the same
// arguments: a fixed seed, and std::mt19937's sequence is fixed by the
// standard (the distributions are not, so none is used).
inline std::vector<uint32_t> seekTimes(uint32_t durationMs, int count)
{
    std::mt19937 generator(20240607u);
    std::vector<uint32_t> times;
    for (int i = 0; i < count && durationMs > 0; ++i)
        times.push_back(uint32_t(generator() % durationMs));
    return times;
}

} // namespace Qel::Bench
