// Gathering a movie's packets for its sample tables, without decoding.
// Internal to the FFmpeg movie source.
#pragma once

#include "FfmpegLibraries.h"
#include "FfmpegMovie.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace QelRuntime {

// A stream's packets in presentation order, as a track's tables take them:
// where each lies in the stream (which the track keeps as they are),
// whether it is a sync packet, and how long the last one lasts; every other
// one lasts until the next begins.
struct OrderedPackets {
    std::vector<FfmpegSamplePosition> positions;
    std::vector<bool> sync;  // parallel to positions
    int64_t lastDuration = 1;
    // Sound whose packets were read (FfmpegSoundStart.h).
    std::optional<FfmpegSoundStart> soundStart;
    std::vector<int64_t> sampleOffsets;  // as FfmpegTrack::packetSampleOffsets

    int64_t durationOf(size_t index) const
    {
        return index + 1 < positions.size() ? positions[index + 1].pts - positions[index].pts : lastDuration;
    }
};

// Every stream's packets in presentation order (none for a stream without
// packets).
//
// Gathered from the container's own index where it keeps a complete one
// (QuickTime and MP4 sample tables, AVI's index), so that opening reads no
// media data; an index holds decoding times only. Elsewhere (MPEG program
// and transport streams) by reading every packet of the file once, without
// decoding, recording the identity of each packet's bytes so that readers
// can recognise it after a seek (FfmpegPacketRecognition.h); a read error
// ends the scan with what was read so far.
//
// Where every packet carries its presentation time, that time. Otherwise
// the presentation times are the decoding times shifted by the stream's
// reordering delay (its first presentation time minus its first decoding
// time), exact for constant frame rates; a sync packet then keeps its own
// presentation time where the container gives it (open groups of pictures
// in MPEG) and the shifted decoding time elsewhere (exact for closed
// groups). Reordered H.264 pictures in AVI and MXF take the decoding times
// in the order their picture order counts show them (open groups included).
// Sync entries keep the decoding time of their packet, which is where a
// reader seeks to. The last packet lasts until the stream's end, where that
// lies beyond its start; AVI's sound, whose header may promise more than its
// chunks hold, ends with its last chunk.
//
// A QuickTime or MP4 video stream of reordered pictures is timed by the
// composition offsets of the header of the file at path (UTF-8; empty:
// none) where they pair with the index, whatever its decoding times. Where
// they do not, it is timed by reading the stream's packets once if the
// index cannot time it (uneven decoding steps, entries an edit list
// discards or a file cut short lacks) or the file is fragmented, else by
// its shifted decoding times. A fragmented file's offsets are those of its
// fragments; the fragments that a segment index announces are all indexed
// first (FFmpeg indexes them as it reads them).
//
// headerIndexed: whether the header gave FFmpeg its index before any packet
// was read. An AVI whose recording was cut short lacks the index written at
// its end: FFmpeg's index then holds only the packets that probing met, and
// its packets are scanned as other containers' are.
std::vector<OrderedPackets> orderedStreamPackets(AVFormatContext* format, const FfmpegContainerTraits& container,
                                                 const std::string& path, bool headerIndexed = true);

// Reordered H.264 pictures in AVI and MXF are ordered by their picture order
// counts, which also place the pictures of open groups
// (FfmpegH264PictureOrder.h); their sync samples are IDR pictures and intra
// pictures at recovery points.
bool ordersByPictureCounts(const FfmpegContainerTraits& container, const AVStream* stream);

// Whether the pictures of a stream that the file gives no presentation
// times (AVI, MXF without temporal offsets) are reordered by its decoder without the scan finding their
// times (MPEG-1/2 and MPEG-4 Part 2, ordered by their coding types, and
// codecs other than H.264, whose presentation times are shifted decoding
// times): their decoded pictures are timed by the order they come out in.
// H.264 pictures are ordered and timed by their picture order counts.
bool timedByOutputOrder(const FfmpegContainerTraits& container, const AVStream* stream);

// The two ways of timing such a stream, each in presentation order: by the
// composition offsets of the header or the fragments (nullopt where they
// may not match the packets' own times; fileEnd: the file's size, or -1
// when unknown), and by reading the stream's packets.
std::optional<OrderedPackets> orderedFromHeaderOffsets(AVFormatContext* format, AVStream* stream,
                                                       const std::string& path, int64_t fileEnd);
OrderedPackets orderedFromReading(AVFormatContext* format, AVStream* stream);

} // namespace QelRuntime
