#include "formats/mp4/FfmpegMp4Timing.h"

#include "io/FfmpegLargeTables.h"
#include "timing/FfmpegIndexOrder.h"
#include "timing/FfmpegPacketScan.h"

#include <vector>

namespace QelRuntime {

namespace {

bool liesPastFileEnd(const FfmpegIndexEntry& entry, int64_t fileEnd)
{
    return fileEnd > 0 && entry.pos + entry.size > fileEnd;
}

// Where the decoding times shifted by the reordering delay cannot time a
// reordered stream even at a constant rate: the steps between them are
// uneven (a variable rate), an edit list discards entries (leaving gaps
// among them) or the file is cut short. Even steps prove nothing about the
// composition offsets, which is why the header's come first.
bool indexLacksPresentationTimes(const FfmpegIndex& index, int64_t fileEnd)
{
    int64_t step = 0;
    for (int i = 0; i < index.size(); ++i) {
        const FfmpegIndexEntry entry = index[i];
        if (entry.discarded || liesPastFileEnd(entry, fileEnd))
            return true;
        if (i == 0)
            continue;
        const int64_t gap = entry.timestamp - index[i - 1].timestamp;
        if (step != 0 && gap != step)
            return true;
        step = gap;
    }
    return false;
}

// The composition offsets in the file's header, or in its fragments where
// it is fragmented, one for each entry of the stream's index. Nullopt where
// the index and the offsets may not pair one to one: an entry discarded by
// an edit list or lying past the end of a file cut short, or as many
// offsets as entries lacking (see FfmpegCompositionOffsets.h for the
// boxes' own conditions).
std::optional<CompositionOffsets> offsetsPairedWithIndex(const FfmpegIndex& index, int trackId, const std::string& path,
                                                         int64_t fileEnd, bool fragmented)
{
    const int count = index.size();
    if (path.empty() || trackId <= 0 || count <= 0)
        return std::nullopt;
    for (int i = 0; i < count; ++i) {
        const FfmpegIndexEntry entry = index[i];
        if (entry.discarded || liesPastFileEnd(entry, fileEnd))
            return std::nullopt;
    }
    std::optional<CompositionOffsets> offsets = fragmented
                                                    ? fragmentOffsetsInFile(path, uint32_t(trackId), uint64_t(count))
                                                    : compositionOffsetsInFile(path, uint32_t(trackId));
    if (!offsets || offsets->samples != uint64_t(count))
        return std::nullopt;
    return offsets;
}

// The stream's samples timed by offsets paired with its index, as FFmpeg's
// demuxer times them: each at its index entry's time plus the shift of
// negative offsets plus its sample's offset, lasting until the next entry's
// time (the last until the stream's declared duration). Filled in decoding
// order straight into the positions the track keeps, then sorted in place.
OrderedPackets orderedFromOffsets(const FfmpegIndex& index, const FfmpegStreamFacts& stream,
                                  const CompositionOffsets& offsets)
{
    const int count = index.size();
    OrderedPackets ordered;
    reserveLargeTable(ordered.positions, size_t(count));
    ordered.sync.reserve(size_t(count));
    int shownLast = 0;  // the sample that sorting leaves last: the latest of the latest shown
    int i = 0;
    for (const CompositionRun& run : offsets.runs) {
        for (uint32_t k = 0; k < run.count; ++k, ++i) {
            const FfmpegIndexEntry entry = index[i];
            FfmpegSamplePosition& position = ordered.positions.emplace_back();  // in place: see FfmpegLargeTables.h
            position.pts = entry.timestamp + offsets.decodingShift + run.offset;
            position.dts = entry.timestamp;
            position.identity = 0;
            ordered.sync.push_back(entry.key);
            if (position.pts >= ordered.positions[size_t(shownLast)].pts)
                shownLast = i;
        }
    }
    if (ordered.positions.empty())
        return ordered;
    const int64_t dts = index[shownLast].timestamp;
    const int64_t next = shownLast + 1 < count ? index[shownLast + 1].timestamp : stream.duration;
    const int64_t ownDuration = next != AV_NOPTS_VALUE && next >= dts ? next - dts : 0;
    sortByPresentationTime(ordered);
    ordered.lastDuration = lastDurationOf(stream, ordered.positions, ownDuration, true);
    return ordered;
}

} // namespace

// The offsets of the header or the fragments where they pair with the index
// (the only exact times short of reading the packets), through the shifted
// index where they only shift the decoding times (no table sorted on the
// way); else the packets where the index cannot time them or the file is
// fragmented (read once, at open), and the shifted index elsewhere.
OrderedPackets orderedMp4Pictures(AVFormatContext* format, AVStream* stream, const std::string& path,
                                  int64_t fileEnd, bool fragmented)
{
    const FfmpegIndex index(stream);
    const FfmpegStreamFacts facts = streamFactsOf(stream);
    const std::optional<CompositionOffsets> offsets = offsetsPairedWithIndex(index, stream->id, path, fileEnd,
                                                                              fragmented);
    if (offsets && !offsetsShiftDecodingTimes(index, facts, *offsets))
        return orderedFromOffsets(index, facts, *offsets);
    if (!offsets && (fragmented || indexLacksPresentationTimes(index, fileEnd)))
        return orderedFromReading(format, stream);
    return orderedFromIndex(index, facts, FfmpegIndexCounting(), fileEnd);
}

std::optional<OrderedPackets> orderedFromHeaderOffsets(AVFormatContext* format, AVStream* stream,
                                                       const std::string& path, int64_t fileEnd)
{
    const MovieFragments fragments = fragmentsIndexed(format, path);
    const FfmpegIndex index(stream);
    const std::optional<CompositionOffsets> offsets = offsetsPairedWithIndex(index, stream->id, path, fileEnd,
                                                                              fragments.present);
    if (!offsets)
        return std::nullopt;
    return orderedFromOffsets(index, streamFactsOf(stream), *offsets);
}

MovieFragments fragmentsIndexed(AVFormatContext* format, const std::string& path)
{
    const MovieFragments fragments = movieFragmentsIn(path);
    if (fragments.indexedAhead) {
        const FfmpegStreamsSkipped all(format, nullptr);
        PacketPtr packet = makePacket();
        while (av_read_frame(format, packet.get()) >= 0)
            av_packet_unref(packet.get());
    }
    return fragments;
}

// As in most files (a constant rate): the decoding times step evenly, every
// picture is shown at one of them shifted, no two at the same, and every
// sync picture at its own. Opening such a file costs the walk of its header
// and this one pass.
bool offsetsShiftDecodingTimes(const FfmpegIndex& index, const FfmpegStreamFacts& stream,
                               const CompositionOffsets& offsets)
{
    const int count = index.size();
    if (count <= 0 || offsets.samples != uint64_t(count))
        return false;
    const int64_t first = index[0].timestamp;
    const int64_t delay = reorderingDelay(stream, first, AV_NOPTS_VALUE);
    const int64_t step = count > 1 ? index[1].timestamp - first : 1;
    if (step <= 0)
        return false;
    std::vector<bool> taken(size_t(count), false);
    const int64_t shift = offsets.decodingShift - delay;
    int64_t previous = first;
    int i = 0;
    for (const CompositionRun& run : offsets.runs) {
        for (uint32_t k = 0; k < run.count; ++k, ++i) {
            const FfmpegIndexEntry entry = index[i];
            // How far the picture is shown from its own shifted decoding time.
            const int64_t lead = shift + run.offset;
            if ((i > 0 && entry.timestamp - previous != step) || lead % step != 0 || (entry.key && lead != 0))
                return false;
            const int64_t shownAt = i + lead / step;
            if (shownAt < 0 || shownAt >= count || taken[size_t(shownAt)])
                return false;
            taken[size_t(shownAt)] = true;
            previous = entry.timestamp;
        }
    }
    return true;
}

} // namespace QelRuntime
