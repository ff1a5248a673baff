// A video stream's frame rate, learnt from the frames' own times.
//
// A stream stamps each frame with a start and a duration in whole
// milliseconds, truncated, so one duration cannot tell 30 fps (33.33 ms)
// from 29.97 (33.37 ms). Over many frames it can: every start of a constant
// rate lies within a millisecond of first + k × period. The rates movies
// use, the 1001-based ones included, are tried against every frame seen; a
// rate fits when its period is within a millisecond or so of the commonest
// duration (which keeps 50 fps from fitting a 25 fps movie) and every start
// lies on its grid. Of two that fit, the whole-number rate goes first until
// enough frames tell them apart. Frames may be missing (skipped by
// catch-up, or passed over in sync-sample mode): each is placed on the
// nearest step of the grid. When no usual rate fits, the mean step from the
// first to the last start serves, or the commonest duration when frames are
// missing.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

namespace Qel::Cli {

struct FrameRate {
    uint32_t numerator;
    uint32_t denominator;
};

class FrameTiming {
public:
    FrameTiming();

    void add(uint32_t startMs, uint32_t durationMs);

    FrameRate rate() const;
    // The time from one frame to the next, in milliseconds.
    double periodMs() const;
    // The frame's place on the grid of the rate, counted from the first
    // frame seen (negative before it).
    int64_t stepsFromFirst(uint32_t startMs) const;

private:
    struct Candidate {
        FrameRate rate;
        bool fits;
    };

    const Candidate* fitting() const;
    uint32_t commonestDuration() const;
    double fallbackPeriodMs() const;

    std::vector<Candidate> candidates;
    std::map<uint32_t, uint64_t> durations;  // duration -> frames
    uint64_t frames = 0;
    uint32_t firstStart = 0;
    uint32_t lowestStart = 0;
    uint32_t highestStart = 0;
};

} // namespace Qel::Cli
