// Gathering packets by reading the file, without decoding pictures: every
// packet of every stream once (containers without a complete index), or one
// stream's packets with their own presentation times.
#pragma once

#include "FfmpegLibraries.h"
#include "FfmpegTrack.h"
#include "timing/FfmpegPacketRecord.h"
#include "timing/FfmpegPresentationOrder.h"

#include <optional>
#include <vector>

namespace QelRuntime {

// Every stream of a demuxer but one (or all: kept null) skipped unread while
// this lives; each keeps its own setting afterwards.
class FfmpegStreamsSkipped {
public:
    FfmpegStreamsSkipped(AVFormatContext* format, const AVStream* kept);
    ~FfmpegStreamsSkipped();
    FfmpegStreamsSkipped(const FfmpegStreamsSkipped&) = delete;
    FfmpegStreamsSkipped& operator=(const FfmpegStreamsSkipped&) = delete;

private:
    AVFormatContext* format_;
    std::vector<AVDiscard> settings_;
};

// Each stream's packets in decoding order, as the whole file's scan found
// them, and where each sound stream's decode starts.
struct FfmpegScannedStreams {
    std::vector<std::vector<FfmpegPacketRecord>> packets;
    std::vector<std::optional<FfmpegSoundStart>> soundStarts;
};

// Reads every packet of the file once, from where the demuxer stands,
// recording the identity of each packet's bytes so that readers can
// recognise it after a seek (FfmpegPacketRecognition.h); a read error ends
// the scan with what was read so far. Each sound stream's first packets are
// decoded on the way, as readers decode them, for where its sound starts,
// and the sound each packet adds is counted where a clock cannot place it
// (FfmpegSoundStart.h). Reordered MPEG pictures are given presentation times
// by their coding types; the streams marked in byPictureCounts (H.264
// without presentation times) by their picture order counts, and their key
// frames kept only where decoding may start.
FfmpegScannedStreams scanEveryPacket(AVFormatContext* format, const std::vector<bool>& byPictureCounts);

// One stream's packets in presentation order as the demuxer reads them, with
// their own presentation times: its media data is read once (other streams
// are skipped unread), from its index's first entry. Packets an edit list
// discards, and the one a truncated file cuts, are left out.
OrderedPackets orderedFromReading(AVFormatContext* format, AVStream* stream);

} // namespace QelRuntime
