// The runtime's movie model of an FfmpegMovie. Internal to the FFmpeg movie
// source.
#pragma once

#include "FfmpegMovie.h"

#include "core/MovieModel.h"

namespace Qel::Runtime {

// Sound tracks report as many frames as their duration holds at their rate;
// the extraction itself ends where decoding really ends.
MovieModel modelOf(const FfmpegMovie& movie);

} // namespace Qel::Runtime
