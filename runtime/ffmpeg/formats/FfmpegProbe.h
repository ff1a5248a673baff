// Whether a file is a movie that the FFmpeg movie source can open, judged
// from its first bytes alone (no demuxer is opened). Any thread.
#pragma once

#include <string>

namespace QelRuntime {

bool ffmpegRecognisesMovie(const std::string& path);

// Every demuxer of this FFmpeg build that isRefusedDemuxer (FfmpegContainers.h)
// lets through, as
// the comma-separated list FFmpeg takes for its format whitelist, so that
// its own probe on opening cannot pick a refused one.
const std::string& acceptedDemuxerList();

} // namespace QelRuntime
