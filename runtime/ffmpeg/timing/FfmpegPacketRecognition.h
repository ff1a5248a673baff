// Recognising the packets of a scanned track (FfmpegSampleTable.h) again
// when a reader meets them after a seek. Internal to the FFmpeg movie source.
//
// Demuxers that find their place by searching (MPEG program and transport
// streams) guess times afresh after every seek: the first packets after it
// may be the tail of a frame, and packets without a time of their own are
// given different ones. A packet is therefore known by its size and a
// checksum of its bytes, recorded when the movie was scanned, and takes the
// times the scan gave it; a packet that matches no sample is not one of the
// movie's (a fragment) and is skipped. Tracks read from a container's own
// index are not scanned: their packets carry exact times after any seek.
#pragma once

#include "FfmpegLibraries.h"
#include "FfmpegTrack.h"

#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

namespace QelRuntime {

// The identity of a packet's bytes: its size in the high word, a CRC-32 of
// them in the low word.
uint64_t packetIdentity(const uint8_t* data, int size);

class FfmpegPacketRecognition {
public:
    explicit FfmpegPacketRecognition(const FfmpegTrack& track);

    // Whether the track's packets need recognising at all.
    bool active() const { return !samplesByIdentity_.empty(); }

    // Forgets the last packet recognised; call after every seek. near (the
    // stream's time base) is where the reader expects to resume.
    void restart(int64_t near);

    // The sample that packet holds, with the packet's times replaced by the
    // sample's; nothing when it is none of the track's samples.
    std::optional<size_t> recognise(AVPacket* packet);

private:
    size_t choose(const std::vector<size_t>& candidates, const AVPacket* packet) const;

    const FfmpegTrack& track_;
    // Samples by the identity of their bytes, each list in decoding order.
    // Identical packets (silence, repeated pictures) share an entry.
    std::unordered_map<uint64_t, std::vector<size_t>> samplesByIdentity_;
    std::optional<int64_t> lastDts_;  // of the last packet recognised
    int64_t near_ = 0;
};

} // namespace QelRuntime
