// What the entries of an AVI index count, for sound. Internal to the FFmpeg
// movie source.
#pragma once

#include "timing/FfmpegIndexOrder.h"
#include "timing/FfmpegPacketRecord.h"

namespace QelRuntime {

// How the index of an AVI sound stream (blockAlign: its declared block size)
// counts its entries' times, found from the steps between them: in bytes
// where each entry starts where the bytes of the ones before it end, else in
// chunks.
FfmpegIndexCounting aviSoundCounting(const FfmpegIndex& index, int blockAlign);

} // namespace QelRuntime
