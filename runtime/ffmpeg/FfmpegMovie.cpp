#include "FfmpegMovie.h"

#include "timing/FfmpegRescaler.h"

#include <algorithm>

namespace QelRuntime {

namespace {

// A presentation time's place in the movie: movie units from time 0. Sound
// that begins before the first picture keeps its place in the file but
// starts at time 0 in the tables.
int64_t movieTime(const FfmpegRescaler& toMovieUnits, int64_t origin, int64_t pts)
{
    return std::max<int64_t>(toMovieUnits(pts) - origin, 0);
}

} // namespace

FormatContextPtr FfmpegMovie::takeDemuxer() const
{
    std::lock_guard<std::mutex> guard(spareLock_);
    return std::move(spareDemuxer_);
}

int64_t FfmpegMovie::originIn(FfmpegRational timeBase) const
{
    return av_rescale_q(originValue_, toAv(originBase_), toAv(timeBase));
}

// Sample times grow with the presentation times, so a search over these
// converts only the times it looks at.
size_t FfmpegMovie::sampleAtTime(const FfmpegTrack& track, int64_t time) const
{
    const FfmpegRescaler toMovieUnits(toAv(track.timeBase), {1, timeScale_});
    const int64_t origin = originIn({1, timeScale_});
    const auto& positions = track.positions;
    const auto after = std::upper_bound(positions.begin(), positions.end(), time,
                                        [&](int64_t t, const FfmpegSamplePosition& position) {
                                            return t < movieTime(toMovieUnits, origin, position.pts);
                                        });
    return after == positions.begin() ? 0 : size_t(after - positions.begin()) - 1;
}

} // namespace QelRuntime
