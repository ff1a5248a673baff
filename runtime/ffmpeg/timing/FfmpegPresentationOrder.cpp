#include "timing/FfmpegPresentationOrder.h"

#include "io/FfmpegLargeTables.h"

#include <algorithm>

namespace QelRuntime {

namespace {

bool everyPacketHasItsTime(const std::vector<FfmpegPacketRecord>& packets)
{
    return std::all_of(packets.begin(), packets.end(),
                       [](const FfmpegPacketRecord& packet) { return packet.pts != AV_NOPTS_VALUE; });
}

bool nonePacketHasItsTime(const std::vector<FfmpegPacketRecord>& packets)
{
    return std::none_of(packets.begin(), packets.end(),
                        [](const FfmpegPacketRecord& packet) { return packet.pts != AV_NOPTS_VALUE; });
}

// Presentation times from decoding times shifted by the reordering delay,
// exact for constant frame rates. A sync packet keeps its own presentation
// time where the container gives it (open groups of pictures in MPEG) and
// the shifted decoding time elsewhere (exact for closed groups); sync
// entries keep the decoding time of their packet, which is where a reader
// seeks to.
std::vector<FfmpegPacketRecord> shiftedDecodingTimes(std::vector<FfmpegPacketRecord> packets,
                                                     const FfmpegStreamFacts& stream)
{
    const int64_t delay = reorderingDelay(stream, packets.front().dts, packets.front().pts);
    // Packets in decoding order stay in place with their own sync marks: a
    // long movie's table is not copied.
    const auto decodedEarlier = [](const FfmpegPacketRecord& a, const FfmpegPacketRecord& b) { return a.dts < b.dts; };
    if (nonePacketHasItsTime(packets) && std::is_sorted(packets.begin(), packets.end(), decodedEarlier)) {
        for (FfmpegPacketRecord& packet : packets)
            packet.pts = packet.dts + delay;
        return packets;
    }
    std::vector<FfmpegPacketRecord> ordered;
    reserveLargeTable(ordered, packets.size());
    for (const FfmpegPacketRecord& packet : packets)
        ordered.push_back({packet.dts + delay, packet.dts, 0, false});
    // Decoding times normally only grow, and sorting the index of a long
    // movie that is already in order would cost more than reading it.
    const auto earlier = [](const FfmpegPacketRecord& a, const FfmpegPacketRecord& b) { return a.pts < b.pts; };
    const bool reordered = !std::is_sorted(ordered.begin(), ordered.end(), earlier);
    if (reordered)
        std::sort(ordered.begin(), ordered.end(), earlier);
    for (size_t i = 0; i < packets.size(); ++i) {
        const FfmpegPacketRecord& packet = packets[i];
        if (!packet.key)
            continue;
        // A packet without a time of its own is shown where its decoding time
        // put it: in place, unless the list had to be sorted (every sound
        // packet is a sync packet, and searching for each would cost more
        // than the rest of the table).
        auto at = ordered.begin() + std::ptrdiff_t(i);
        if (packet.pts != AV_NOPTS_VALUE || reordered) {
            const int64_t shown = packet.pts != AV_NOPTS_VALUE ? packet.pts : packet.dts + delay;
            at = std::lower_bound(ordered.begin(), ordered.end(), shown,
                                  [](const FfmpegPacketRecord& entry, int64_t time) { return entry.pts < time; });
        }
        if (at != ordered.end()) {
            at->key = true;
            at->dts = packet.dts;
        }
    }
    return ordered;
}

// Where each packet's frame begins, from the first decoded sample, where
// every packet's sound was counted (Vorbis's first packet is the codec's
// priming).
std::vector<int64_t> sampleOffsetsOf(const std::vector<FfmpegPacketRecord>& packets, const FfmpegStreamFacts& stream)
{
    const auto uncounted = [](const FfmpegPacketRecord& packet) { return packet.samples <= 0; };
    std::vector<int64_t> offsets;
    if (packets.empty() || std::any_of(packets.begin(), packets.end(), uncounted))
        return offsets;
    reserveLargeTable(offsets, packets.size());
    int64_t offset = stream.firstCountedPacketPrimes ? -packets.front().samples : 0;
    for (const FfmpegPacketRecord& packet : packets) {
        offsets.push_back(offset);
        offset += packet.samples;
    }
    return offsets;
}

// A table's rows as sorting them takes them: size(), each row's time (pts),
// and row(i), set(i, row) and timeOf(row) for the rows it moves.
struct PacketRows {
    std::vector<FfmpegPacketRecord>& packets;

    size_t size() const { return packets.size(); }
    int64_t time(size_t i) const { return packets[i].pts; }
    FfmpegPacketRecord row(size_t i) const { return packets[i]; }
    void set(size_t i, const FfmpegPacketRecord& packet) { packets[i] = packet; }
    static int64_t timeOf(const FfmpegPacketRecord& packet) { return packet.pts; }
};

// Positions, each sync mark moving with its position.
struct PositionRows {
    struct Row {
        FfmpegSamplePosition position;
        uint8_t sync;
    };
    OrderedPackets& ordered;

    size_t size() const { return ordered.positions.size(); }
    int64_t time(size_t i) const { return ordered.positions[i].pts; }
    Row row(size_t i) const { return {ordered.positions[i], ordered.sync[i]}; }
    void set(size_t i, const Row& row)
    {
        ordered.positions[i] = row.position;
        ordered.sync[i] = row.sync;
    }
    static int64_t timeOf(const Row& row) { return row.position.pts; }
};

// Sorted by presentation time, rows of equal times kept in their order.
// Reordered pictures lie a few places from where they are shown, so that an
// insertion sort takes linear time on a long movie; rows that lie further
// (a damaged file) are stable sorted once that budget is spent.
template <typename Rows>
void sortRowsByPresentationTime(Rows rows)
{
    const size_t count = rows.size();
    const size_t moveBudget = 16 * count;
    size_t moves = 0;
    for (size_t i = 1; i < count && moves <= moveBudget; ++i) {
        const int64_t time = rows.time(i);
        if (!(time < rows.time(i - 1)))
            continue;
        const auto row = rows.row(i);
        size_t at = i;
        for (; at > 0 && time < rows.time(at - 1); --at)
            rows.set(at, rows.row(at - 1));
        rows.set(at, row);
        moves += i - at;
    }
    if (moves <= moveBudget)
        return;
    std::vector<decltype(rows.row(0))> sorted;
    sorted.reserve(count);
    for (size_t i = 0; i < count; ++i)
        sorted.push_back(rows.row(i));
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const auto& a, const auto& b) { return Rows::timeOf(a) < Rows::timeOf(b); });
    for (size_t i = 0; i < count; ++i)
        rows.set(i, sorted[i]);
}

} // namespace

int64_t reorderingDelay(const FfmpegStreamFacts& stream, int64_t firstDts, int64_t firstOwnPts)
{
    int64_t firstPts = stream.start;
    if (firstPts == AV_NOPTS_VALUE)
        firstPts = firstOwnPts != AV_NOPTS_VALUE ? firstOwnPts : firstDts;
    return std::max<int64_t>(firstPts - firstDts, 0);
}

// The last packet lasts until the stream's end where the stream declares
// one beyond the packet's start; otherwise a sound packet its own duration
// where the container gives it (a last frame is often short), and anything
// else as long as the one before it lasts, or (the only one) its own
// duration, at least 1.
int64_t lastDurationOf(const FfmpegStreamFacts& stream, const std::vector<FfmpegSamplePosition>& positions,
                       int64_t ownDuration, bool declaredEndHolds)
{
    const int64_t lastPts = positions.back().pts;
    if (declaredEndHolds && stream.duration != AV_NOPTS_VALUE && stream.start != AV_NOPTS_VALUE &&
        stream.start + stream.duration > lastPts)
        return stream.start + stream.duration - lastPts;
    if (stream.sound && ownDuration > 0)
        return ownDuration;
    if (positions.size() > 1)
        return lastPts - positions[positions.size() - 2].pts;
    return std::max<int64_t>(ownDuration, 1);
}

void sortByPresentationTime(std::vector<FfmpegPacketRecord>& packets)
{
    sortRowsByPresentationTime(PacketRows{packets});
}

void sortByPresentationTime(OrderedPackets& ordered)
{
    sortRowsByPresentationTime(PositionRows{ordered});
}

OrderedPackets presentationOrder(std::vector<FfmpegPacketRecord> packets, const FfmpegStreamFacts& stream,
                                 bool declaredEndHolds)
{
    OrderedPackets result;
    if (packets.empty())
        return result;
    std::vector<FfmpegPacketRecord> ordered;
    if (everyPacketHasItsTime(packets)) {
        ordered = std::move(packets);
        sortByPresentationTime(ordered);
    } else {
        ordered = shiftedDecodingTimes(std::move(packets), stream);
    }
    reserveLargeTable(result.positions, ordered.size());
    result.sync.reserve(ordered.size());
    for (const FfmpegPacketRecord& packet : ordered) {
        FfmpegSamplePosition& position = result.positions.emplace_back();  // in place: see FfmpegLargeTables.h
        position.pts = packet.pts;
        position.dts = packet.dts;
        position.identity = packet.identity;
        result.sync.push_back(packet.key);
    }
    result.lastDuration = lastDurationOf(stream, result.positions, ordered.back().duration, declaredEndHolds);
    result.sampleOffsets = sampleOffsetsOf(ordered, stream);
    return result;
}

// MPEG program streams carry presentation times on some pictures only, AVI
// on none (its demuxer gives B pictures their decoding time). B pictures
// are never referenced, so their marks alone give the order.
void completeReorderedPresentationTimes(std::vector<FfmpegPacketRecord>& packets)
{
    int64_t nextReference = AV_NOPTS_VALUE;
    int64_t lastEnd = packets.empty() ? 0 : packets.back().dts + std::max<int64_t>(packets.back().duration, 1);
    for (size_t i = packets.size(); i-- > 0;) {
        FfmpegPacketRecord& packet = packets[i];
        if (packet.pts == AV_NOPTS_VALUE) {
            if (packet.bidirectional)
                packet.pts = packet.dts;
            else
                packet.pts = nextReference != AV_NOPTS_VALUE ? nextReference : lastEnd;
        }
        if (!packet.bidirectional)
            nextReference = packet.dts;
        lastEnd = std::max(lastEnd, packet.pts + std::max<int64_t>(packet.duration, 1));
    }
}

void presentInShownOrder(std::vector<FfmpegPacketRecord>& packets, const std::vector<size_t>& shown)
{
    std::vector<int64_t> times;
    times.reserve(packets.size());
    for (const FfmpegPacketRecord& packet : packets)
        times.push_back(packet.dts);
    std::sort(times.begin(), times.end());
    for (size_t k = 0; k < shown.size() && k < packets.size(); ++k)
        packets[shown[k]].pts = times[k];
}

void startAtTheFirstPicture(OrderedPackets& ordered, bool keyBefore)
{
    if (keyBefore && !ordered.sync.empty())
        ordered.sync[0] = true;
}

void showFirstPictureAtFirstDecodingTime(OrderedPackets& ordered)
{
    if (ordered.positions.empty())
        return;
    int64_t firstDts = ordered.positions.front().dts;
    for (const FfmpegSamplePosition& position : ordered.positions)
        firstDts = std::min(firstDts, position.dts);
    const int64_t delay = ordered.positions.front().pts - firstDts;
    for (FfmpegSamplePosition& position : ordered.positions)
        position.pts -= delay;
}

} // namespace QelRuntime
