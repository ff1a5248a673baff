// A track whose decoder does not open: the reason is told on standard error,
// as the runtime tells its other refusals ("QuickTime.qts: PATH: ..."), and
// the operation that needed the decoder answers a status instead of
// delivering nothing as if the track were empty.
#pragma once

#include "FfmpegMovie.h"

struct AVStream;

namespace QelRuntime {

// kFfmpegNoCodec where FFmpeg, or this build of it, has no decoder for the
// stream's codec (the line names the codec, or the file's four-character
// code where FFmpeg knows no codec by it); kFfmpegCodecError where a decoder
// exists but refused the stream's parameters.
QtStatus refuseUndecodableTrack(const FfmpegMovie& movie, size_t trackIndex, const AVStream* stream);

} // namespace QelRuntime
