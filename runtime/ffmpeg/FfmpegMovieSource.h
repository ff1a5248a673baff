// The runtime's movie source for real media files, over FfmpegMovie: the
// movie model, each video sample's bytes, decoded pictures and the mixed
// sound of the enabled tracks. Called only under the runtime's lock.
#pragma once

#include "source/MovieSource.h"

namespace QelRuntime {

// The factory that the runtime asks after the synthetic one: it accepts the
// files that FFmpeg recognises as movies from their first bytes.
const MovieSourceFactory& ffmpegMovieSourceFactory();

} // namespace QelRuntime
