// QuickTime statuses that the FFmpeg movie source reports.
#pragma once

#include "QuickTimeInterface.h"

namespace QelRuntime {

constexpr QtStatus kFfmpegCodecError = -8960;      // the decoder failed
constexpr QtStatus kFfmpegNoCodec = -8961;         // no decoder for the track's codec
constexpr QtStatus kFfmpegUnsupportedDepth = -8962;  // a surface format the source cannot fill
constexpr QtStatus kFfmpegBadData = -8969;         // the sample is damaged or missing from the file

} // namespace QelRuntime
