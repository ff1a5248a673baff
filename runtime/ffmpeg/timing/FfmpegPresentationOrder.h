// Putting a stream's packets in presentation order, the form in which a
// track's tables take them: from packets with their own presentation times,
// or from decoding times alone. Works on plain records (FfmpegPacketRecord.h).
#pragma once

#include "FfmpegTrack.h"
#include "timing/FfmpegPacketRecord.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace QelRuntime {

// A stream's packets in presentation order: where each lies in the stream
// (which the track keeps as they are), whether it is a sync packet, and how
// long the last one lasts; every other one lasts until the next begins.
struct OrderedPackets {
    std::vector<FfmpegSamplePosition> positions;
    std::vector<uint8_t> sync;  // parallel to positions, as FfmpegTrack::sync
    int64_t lastDuration = 1;
    // Sound whose packets were read (FfmpegSoundStart.h).
    std::optional<FfmpegSoundStart> soundStart;
    std::vector<int64_t> sampleOffsets;  // as FfmpegTrack::packetSampleOffsets

    int64_t durationOf(size_t index) const
    {
        return index + 1 < positions.size() ? positions[index + 1].pts - positions[index].pts : lastDuration;
    }
};

// The packets (in decoding order) in presentation order. Where every packet
// carries its presentation time, that time; otherwise decoding times
// shifted by the reordering delay (see shiftedDecodingTimes). declaredEndHolds:
// the stream's declared end is where its last packet ends, where it lies
// beyond that packet's start.
OrderedPackets presentationOrder(std::vector<FfmpegPacketRecord> packets, const FfmpegStreamFacts& stream,
                                 bool declaredEndHolds = true);

// The stream's first presentation time (its start; else the first packet's
// own time, else its decoding time) minus its first decoding time.
int64_t reorderingDelay(const FfmpegStreamFacts& stream, int64_t firstDts, int64_t firstOwnPts);

// How long the last of the positions lasts (see presentationOrder).
int64_t lastDurationOf(const FfmpegStreamFacts& stream, const std::vector<FfmpegSamplePosition>& positions,
                       int64_t ownDuration, bool declaredEndHolds);

// Sorted by presentation time, packets of equal times kept in their order.
void sortByPresentationTime(std::vector<FfmpegPacketRecord>& packets);
// The same for positions, each sync mark moving with its position.
void sortByPresentationTime(OrderedPackets& ordered);

// MPEG-1/2 and MPEG-4 Part 2 pictures without presentation times of their
// own, timed by their coding types: a B picture is shown as it is decoded,
// any other when the next non-B picture is decoded.
void completeReorderedPresentationTimes(std::vector<FfmpegPacketRecord>& packets);

// Pictures in decoding order, shown in the given order (by their places in
// decoding order): the k-th shown takes the k-th decoding time.
void presentInShownOrder(std::vector<FfmpegPacketRecord>& packets, const std::vector<size_t>& shown);

// An edit list that cuts into a group of pictures leaves the group's key
// frame before the movie's start (keyBefore): decoding the first picture
// starts there (a seek to the first picture's decoding time lands on it),
// so the first picture is where a reader may start.
void startAtTheFirstPicture(OrderedPackets& ordered, bool keyBefore);

// Pictures whose container stores no presentation times (AVI) are shown
// from where the first one is decoded: the decoder's delay does not move
// them, and later pictures shown before the ones decoded ahead of them are
// shown before they are decoded (FfmpegTrack::shownAheadOfDecoding).
void showFirstPictureAtFirstDecodingTime(OrderedPackets& ordered);

} // namespace QelRuntime
