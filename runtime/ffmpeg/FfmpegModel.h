// The runtime's movie model of an FfmpegMovie. Internal to the FFmpeg movie
// source.
#pragma once

#include "FfmpegMovie.h"

#include "source/MovieModel.h"

#include <algorithm>
#include <limits>

namespace QelRuntime {

// A time or duration in movie units as the model holds it (31 bits).
inline QtTimeValue modelTime(int64_t value)
{
    return QtTimeValue(std::clamp<int64_t>(value, 0, std::numeric_limits<int32_t>::max()));
}

// The model of the movie, given its tracks' sample tables. Sound tracks
// report as many frames as their duration holds at their rate; the
// extraction itself ends where decoding really ends.
MovieModel modelOf(const FfmpegMovie& movie, std::vector<std::vector<SampleEntry>> sampleTables);

} // namespace QelRuntime
