// Choosing a movie's time scale. Internal to the FFmpeg movie source.
//
// The least common multiple of the video streams' own time bases when it
// fits in 31 bits together with the duration (one video stream: its own
// time base); otherwise the smallest scale in which every video sample's
// time and duration is still exact; a movie whose samples fit neither uses
// 600 and rounds. A movie without video uses its first sound track's sample
// rate. A scale below 1000 is multiplied until a unit is at most a
// millisecond (25 becomes 1000).
#pragma once

#include "FfmpegTrack.h"

#include <cstdint>
#include <vector>

namespace QelRuntime {

// The presentation times and durations of one video stream, relative to the
// movie's time 0, in the stream's time base.
struct VideoTiming {
    FfmpegRational timeBase;
    std::vector<int64_t> ticks;
};

// The rule in two steps, so that the ticks a long movie takes to list are
// gathered only when the first step gives no scale. lengthSeconds: the
// movie's length.

// The first choice, from the video streams' time bases: their least common
// multiple where it fits the movie's length, else 0 (also for a movie
// without video).
int32_t commonVideoScale(const std::vector<FfmpegRational>& videoBases, double lengthSeconds);

// The rest of the rule, where commonVideoScale gave 0: the smallest scale
// exact for every tick, or (without video) the first sound track's sample
// rate (soundRate, 0 when none), else the fallback.
int32_t scaleBeyondVideoBases(const std::vector<VideoTiming>& video, double lengthSeconds, int soundRate);

// The scale chosen, multiplied (where it still fits) until a unit is at
// most a millisecond: callers address times in whole milliseconds, and a
// coarser scale (25 for most AVI movies) would take every time inside the
// first picture for 0.
int32_t resolvingMilliseconds(int32_t scale, double lengthSeconds);

} // namespace QelRuntime
