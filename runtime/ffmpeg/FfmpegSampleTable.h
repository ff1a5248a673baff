// Gathering a movie's packets for its sample tables, without decoding.
// Internal to the FFmpeg movie source.
#pragma once

#include "FfmpegLibraries.h"

#include <cstdint>
#include <vector>

namespace Qel {

// A packet of a stream, in the stream's time base.
struct StreamPacket {
    int64_t pts;  // AV_NOPTS_VALUE when the container does not say
    int64_t dts;
    int64_t duration;  // 0 when unknown
    bool key;
    bool bidirectional = false;  // an MPEG-1/2 B picture (known for scanned MPEG video only)
    uint64_t identity = 0;       // packetIdentity() of a scanned packet's bytes, 0 when not scanned
};

// QuickTime, MP4 and AVI files index every packet in their headers.
bool keepsCompleteIndex(const AVFormatContext* format);

// Whether the header alone describes every stream and indexes every packet
// (QuickTime and MP4), so that probing the streams adds nothing a reader
// needs beyond the probed parameters.
bool headerDescribesStreams(const AVFormatContext* format);

// Packets of every stream, each list in decoding order.
//
// From the container's own index where it keeps a complete one (QuickTime
// and MP4 sample tables, AVI's index), so that opening reads no media data;
// an index holds decoding times only. Elsewhere (MPEG program and transport
// streams) by reading every packet of the file once, without decoding,
// recording the identity of each packet's bytes so that readers can
// recognise it after a seek (FfmpegPacketRecognition.h); a read error ends
// the scan with what was read so far.
std::vector<std::vector<StreamPacket>> collectStreamPackets(AVFormatContext* format);

// A stream's packets in presentation order, with durations up to the next
// packet (the last one's from the stream's end). Where every packet carries
// its presentation time, that time. Otherwise the presentation times are the
// decoding times shifted by the stream's reordering delay (its first
// presentation time minus its first decoding time), exact for constant
// frame rates; a sync packet then keeps its own presentation time where the
// container gives it (open groups of pictures in MPEG) and the shifted
// decoding time elsewhere (exact for closed groups). Sync entries keep the
// decoding time of their packet, which is where a reader seeks to.
std::vector<StreamPacket> presentationOrder(std::vector<StreamPacket> packets, const AVStream* stream);

} // namespace Qel
