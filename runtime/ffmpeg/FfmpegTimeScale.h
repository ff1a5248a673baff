// Choosing a movie's time scale (see FfmpegMovie.h for the rule). Internal
// to the FFmpeg movie source.
#pragma once

#include "FfmpegMovie.h"

#include <cstdint>
#include <vector>

namespace Qel {

// The presentation times and durations of one video stream, relative to the
// movie's time 0, in the stream's time base.
struct VideoTiming {
    FfmpegRational timeBase;
    std::vector<int64_t> ticks;
};

// lengthSeconds: the movie's length. soundRate: the first sound track's
// sample rate, 0 when none.
int32_t chooseTimeScale(const std::vector<VideoTiming>& video, double lengthSeconds, int soundRate);

// The rule's first choice alone, from the video streams' time bases: their
// least common multiple where it fits the movie's length, else 0 (also for
// a movie without video). Where it answers, chooseTimeScale answers the
// same without the ticks a long movie takes to list.
int32_t commonVideoScale(const std::vector<FfmpegRational>& videoBases, double lengthSeconds);

} // namespace Qel
