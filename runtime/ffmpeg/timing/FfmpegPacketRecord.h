// The plain records that ordering a stream's packets works on: packets as
// an index or a read gives them, the entries of a demuxer's index, and what
// ordering needs to know of the stream itself. Nothing here holds FFmpeg's
// objects, so that each rule can be tried on a table of records.
#pragma once

#include "FfmpegLibraries.h"

#include <cstdint>
#include <vector>

namespace QelRuntime {

// A packet of a stream as gathered, in the stream's time base.
struct FfmpegPacketRecord {
    int64_t pts;  // AV_NOPTS_VALUE when the container does not say
    int64_t dts;
    int64_t duration;  // 0 when unknown
    bool key;
    bool bidirectional = false;  // an MPEG B picture (known for scanned MPEG video only)
    uint64_t identity = 0;       // packetIdentity() of a scanned packet's bytes, 0 when not scanned
    int samples = 0;             // the sound it adds, where counted (FfmpegPacketSampleCounts)
};

// An entry of a stream's index: a packet's decoding time in the index's
// units, where its bytes lie, and its marks.
struct FfmpegIndexEntry {
    int64_t timestamp;
    int64_t pos;  // -1 when unknown
    int64_t size;
    bool key;
    bool discarded;  // an edit list leaves the packet out (FFmpeg's AVINDEX_DISCARD_FRAME)
};

// A stream's index where it lies: in the demuxer (FFmpeg's, read entry by
// entry, so that a long movie's index is not copied) or in a table.
class FfmpegIndex {
public:
    explicit FfmpegIndex(AVStream* stream) : stream_(stream), count_(avformat_index_get_entries_count(stream)) {}
    explicit FfmpegIndex(const std::vector<FfmpegIndexEntry>& entries)
        : entries_(&entries), count_(int(entries.size()))
    {
    }

    int size() const { return count_; }
    FfmpegIndexEntry operator[](int i) const
    {
        if (entries_)
            return (*entries_)[size_t(i)];
        const AVIndexEntry* entry = avformat_index_get_entry(stream_, i);
        return {entry->timestamp, entry->pos, entry->size, (entry->flags & AVINDEX_KEYFRAME) != 0,
                (entry->flags & AVINDEX_DISCARD_FRAME) != 0};
    }

private:
    AVStream* stream_ = nullptr;
    const std::vector<FfmpegIndexEntry>* entries_ = nullptr;
    int count_;
};

// What ordering a stream's packets needs to know of the stream, in its time
// base.
struct FfmpegStreamFacts {
    bool video = false;
    bool sound = false;
    int64_t start = AV_NOPTS_VALUE;     // its first presentation time, where the demuxer knows it
    int64_t duration = AV_NOPTS_VALUE;  // from its start, where the demuxer knows it
    // Its codec's first counted packet is priming (FfmpegSoundStart.h).
    bool firstCountedPacketPrimes = false;
};

FfmpegStreamFacts streamFactsOf(const AVStream* stream);

} // namespace QelRuntime
