#include "timing/FfmpegIndexOrder.h"

#include "io/FfmpegLargeTables.h"

#include <algorithm>

namespace QelRuntime {

namespace {

// False, with nothing ordered, for an index out of decoding order.
bool orderFromIndex(const FfmpegIndex& index, const FfmpegStreamFacts& stream, const FfmpegIndexCounting& counting,
                    int64_t fileEnd, OrderedPackets& ordered)
{
    const int64_t unitsPerTick = counting.unitsPerTick;
    const int entries = index.size();
    std::vector<FfmpegSamplePosition>& positions = ordered.positions;
    reserveLargeTable(positions, size_t(std::max(entries, 0)));
    ordered.sync.reserve(positions.capacity());
    int64_t delay = 0;
    bool keyBefore = false;
    int64_t lastSize = 0;
    bool cutShort = false;
    for (int i = 0; i < entries; ++i) {
        const FfmpegIndexEntry entry = index[i];
        if (fileEnd > 0 && entry.pos >= 0 && entry.pos + entry.size > fileEnd) {
            cutShort = true;
            break;
        }
        if (entry.discarded) {
            keyBefore = keyBefore || (positions.empty() && entry.key);
            continue;
        }
        const int64_t dts = counting.ticksOf(entry.timestamp);
        // Sound is never reordered: a start later than its first packet is
        // priming that the decoder drops, not a delay.
        if (positions.empty()) {
            delay = stream.video ? reorderingDelay(stream, dts, AV_NOPTS_VALUE) : 0;
        } else if (dts < positions.back().dts) {
            ordered = {};
            return false;
        }
        FfmpegSamplePosition& position = positions.emplace_back();  // in place: see FfmpegLargeTables.h
        position.pts = dts + delay;
        position.dts = dts;
        position.identity = 0;
        ordered.sync.push_back(entry.key);
        lastSize = entry.size;
    }
    startAtTheFirstPicture(ordered, keyBefore);
    if (!positions.empty()) {
        // Sound counted in bytes or chunks lasts as long as its last entry's
        // bytes or chunk.
        const size_t count = positions.size();
        if (counting.soundInBytes)
            ordered.lastDuration = std::max<int64_t>(lastSize / unitsPerTick, 1);
        else if (counting.soundInChunks)
            ordered.lastDuration = chunkTicks(lastSize, counting.bytesPerChunkTick);
        else if (cutShort)
            ordered.lastDuration = count > 1 ? std::max<int64_t>(positions[count - 1].pts - positions[count - 2].pts, 1) : 1;
        else
            ordered.lastDuration = lastDurationOf(stream, positions, 0, true);
    }
    return true;
}

} // namespace

int64_t chunkTicks(int64_t bytes, int64_t bytesPerChunkTick)
{
    return bytesPerChunkTick > 0 ? std::max<int64_t>((bytes + bytesPerChunkTick - 1) / bytesPerChunkTick, 1) : 1;
}

std::vector<FfmpegPacketRecord> packetsFromIndex(const FfmpegIndex& index, int64_t unitsPerTick)
{
    const int count = index.size();
    std::vector<FfmpegPacketRecord> packets;
    reserveLargeTable(packets, size_t(count));
    for (int i = 0; i < count; ++i) {
        const FfmpegIndexEntry entry = index[i];
        if (entry.discarded)
            continue;
        FfmpegPacketRecord& packet = packets.emplace_back();  // in place: see FfmpegLargeTables.h
        packet.pts = AV_NOPTS_VALUE;
        packet.dts = entry.timestamp / unitsPerTick;
        packet.duration = 0;
        packet.key = entry.key;
    }
    return packets;
}

// A sound stream whose index counts it itself ends with its last entry,
// whatever end the stream declares (see formats/avi).
OrderedPackets orderedFromIndex(const FfmpegIndex& index, const FfmpegStreamFacts& stream,
                                const FfmpegIndexCounting& counting, int64_t fileEnd)
{
    OrderedPackets ordered;
    if (!orderFromIndex(index, stream, counting, fileEnd, ordered))
        ordered = presentationOrder(packetsFromIndex(index, counting.unitsPerTick), stream,
                                    !counting.countsSoundItself());
    return ordered;
}

} // namespace QelRuntime
