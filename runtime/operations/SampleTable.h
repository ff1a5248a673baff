// Searches over a track's sample table (samples in time order, without
// overlaps, possibly with gaps).
#pragma once

#include <cstdint>
#include <vector>

#include "source/MovieModel.h"

namespace QelRuntime {

constexpr int16_t kNextSyncSample = 8;
constexpr int16_t kNextSample = 16;

// The index of the next interesting sample from `time`, or -1.
// Forward (rate >= 0): the first considered sample starting strictly after
// `time`. Backward (rate < 0): the last considered sample starting strictly
// before `time`; for a time inside a sample that is the sample itself, so a
// step from a sample's start never answers that same sample. `flags` with
// kNextSyncSample considers sync samples only, otherwise every sample.
int32_t nextInterestingSample(const std::vector<SampleEntry>& samples, int16_t flags, QtTimeValue time,
                              int32_t rate);

// The index of the sample that covers `time`: in a gap the last sample
// starting before it, before the first sample the first, past the end the
// last. -1 only for an empty table.
int32_t sampleCovering(const std::vector<SampleEntry>& samples, QtTimeValue time);

} // namespace QelRuntime
