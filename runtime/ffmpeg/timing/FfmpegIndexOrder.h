// Ordering a stream's packets straight from its container's index, so that
// opening reads no media data. An index holds decoding times only.
#pragma once

#include "timing/FfmpegPacketRecord.h"
#include "timing/FfmpegPresentationOrder.h"

#include <cstdint>
#include <vector>

namespace QelRuntime {

// How an index counts its entries' times. Most count ticks of the stream's
// clock; AVI's counts its sound in bytes or in chunks (formats/avi decides
// which).
struct FfmpegIndexCounting {
    int64_t unitsPerTick = 1;
    bool soundInBytes = false;      // an entry lasts as long as its bytes
    bool soundInChunks = false;     // an entry lasts as long as its chunk's ticks (chunkTicks)
    int64_t bytesPerChunkTick = 0;  // 0: every chunk lasts one tick

    bool countsSoundItself() const { return soundInBytes || soundInChunks; }
    // An entry's time in ticks. Most indexes count ticks already, and then
    // the 170,000 entries of an hour's sound are not divided one by one (a
    // third of a millisecond of its open).
    int64_t ticksOf(int64_t units) const { return unitsPerTick == 1 ? units : units / unitsPerTick; }
};

// The ticks a chunk of variable-rate sound lasts where an index counts it in
// chunks: its bytes over bytesPerChunkTick, rounded up, at least one; one
// where bytesPerChunkTick is 0. As FFmpeg's AVI demuxer counts them.
int64_t chunkTicks(int64_t bytes, int64_t bytesPerChunkTick);

// The index's entries as packets without presentation times, in index order,
// those an edit list discards left out.
std::vector<FfmpegPacketRecord> packetsFromIndex(const FfmpegIndex& index, int64_t unitsPerTick);

// The index in presentation order: its decoding times shifted by the
// reordering delay. An index in decoding order goes straight into the
// positions the track keeps, sync marks in place (no table in between);
// any other is sorted (presentationOrder).
//
// A file cut short (fileEnd: its size, or -1 when unknown) ends with the last
// packet before the first one whose bytes it lacks, in decoding order, so
// that every picture kept can be decoded; that packet lasts as long as the
// one before it, not until the end the header promised.
OrderedPackets orderedFromIndex(const FfmpegIndex& index, const FfmpegStreamFacts& stream,
                                const FfmpegIndexCounting& counting, int64_t fileEnd);

} // namespace QelRuntime
