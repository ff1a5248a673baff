// Gathering a movie's packets for its sample tables, without decoding.
// Internal to the FFmpeg movie source.
#pragma once

#include "FfmpegLibraries.h"

#include <cstdint>
#include <vector>

namespace Qel {

// A packet of a stream, in the stream's time base.
struct StreamPacket {
    int64_t pts;
    int64_t dts;
    int64_t duration;  // 0 when unknown
    bool key;
};

// Packets of every stream, each list in decoding order.
//
// From the container's own index where it keeps a complete one (QuickTime
// and MP4 sample tables, AVI's index), so that opening reads no media data.
// An index holds decoding times only: presentation times are the decoding
// times shifted by the stream's reordering delay (its first presentation
// time minus its first decoding time), which is exact for constant frame
// rates and for sync samples that open a closed group of pictures.
//
// Elsewhere (MPEG program and transport streams) by reading every packet of
// the file once, without decoding. A read error ends the scan with what was
// read so far.
std::vector<std::vector<StreamPacket>> collectStreamPackets(AVFormatContext* format);

} // namespace Qel
