#include "FfmpegSampleTable.h"

#include "FfmpegCompositionOffsets.h"
#include "FfmpegLargeTables.h"
#include "FfmpegPacketRecognition.h"
#include "FfmpegH264PictureOrder.h"
#include "FfmpegSoundStart.h"

#include <algorithm>
#include <memory>

namespace QelRuntime {

namespace {

// A packet of a stream as gathered, in the stream's time base.
struct StreamPacket {
    int64_t pts;  // AV_NOPTS_VALUE when the container does not say
    int64_t dts;
    int64_t duration;  // 0 when unknown
    bool key;
    bool bidirectional = false;  // an MPEG-1/2 B picture (known for scanned MPEG video only)
    uint64_t identity = 0;       // packetIdentity() of a scanned packet's bytes, 0 when not scanned
    int samples = 0;             // the sound it adds, where counted (FfmpegPacketSampleCounts)
};

bool isPlayable(const AVStream* stream)
{
    const AVMediaType type = stream->codecpar->codec_type;
    return type == AVMEDIA_TYPE_VIDEO || type == AVMEDIA_TYPE_AUDIO;
}

// Reordered pictures whose order is found in their bytes (see
// completeReorderedPresentationTimes and FfmpegH264PictureOrder.h), which
// the file's scan reads.
bool needsPictureBytesForOrder(const FfmpegContainerTraits& container, const AVStream* stream)
{
    const AVCodecParameters* parameters = stream->codecpar;
    if (parameters->codec_type != AVMEDIA_TYPE_VIDEO || parameters->video_delay <= 0)
        return false;
    return container.pictureOrderInBytes ||
           (container.pictureOrderInBytesForH264Only && parameters->codec_id == AV_CODEC_ID_H264);
}

// Pictures whose decoding order differs from their presentation order, in
// a file whose index holds decoding times only (QuickTime and MP4).
bool isReorderedQuickTimeVideo(const FfmpegContainerTraits& container, const AVStream* stream)
{
    return container.headerDescribesStreams && stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
           stream->codecpar->video_delay > 0;
}

bool indexCoversEveryStream(AVFormatContext* format, const FfmpegContainerTraits& container)
{
    if (!container.indexesEveryPacket)
        return false;
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        const AVStream* stream = format->streams[i];
        if (isPlayable(stream) &&
            (avformat_index_get_entries_count(stream) == 0 || needsPictureBytesForOrder(container, stream)))
            return false;
    }
    return true;
}

// How a stream's index counts its entries' times. Elsewhere an index
// counts ticks of the stream's clock; AVI's counts its sound in bytes or in
// chunks (see indexCountingOf).
struct IndexCounting {
    int64_t unitsPerTick = 1;
    bool soundInBytes = false;      // an entry lasts as long as its bytes
    bool soundInChunks = false;     // an entry lasts as the demuxer counts its chunk (chunkTicks)
    int64_t bytesPerChunkTick = 0;  // 0: every chunk lasts one tick

    bool countsAviSound() const { return soundInBytes || soundInChunks; }
};

// Sound whose declared length is not trusted ends where its last chunk
// does, as ffmpeg's decode of it.
bool declaresItsEnd(const FfmpegContainerTraits& container, const AVStream* stream)
{
    return !container.indexCountsSoundInBytesOrChunks || stream->codecpar->codec_type != AVMEDIA_TYPE_AUDIO;
}

// FFmpeg's AVI demuxer counts a chunk of variable-rate sound as its bytes
// over the declared block size, rounded up, or (where the block size is
// not one it trusts) as one tick.
int64_t chunkTicks(int64_t bytes, int64_t bytesPerChunkTick)
{
    return bytesPerChunkTick > 0 ? std::max<int64_t>((bytes + bytesPerChunkTick - 1) / bytesPerChunkTick, 1) : 1;
}

// AVI's index counts the sound of a stream of fixed-size samples (PCM,
// a-law and mu-law, ADPCM blocks) in bytes, where its packets count
// samples (blocks of block_align bytes): each entry starts where the bytes
// of the ones before it end. It counts variable-rate sound (MPEG audio,
// AAC, AC-3) in chunks, the stream's clock ticking once a frame.
IndexCounting indexCountingOf(const FfmpegContainerTraits& container, AVStream* stream)
{
    IndexCounting counting;
    if (declaresItsEnd(container, stream))
        return counting;
    const int64_t blockAlign = std::max(stream->codecpar->block_align, 1);
    const int count = avformat_index_get_entries_count(stream);
    bool bytes = true, blocks = true;
    for (int i = 0; i + 1 < count; ++i) {
        const AVIndexEntry* entry = avformat_index_get_entry(stream, i);
        const int64_t step = avformat_index_get_entry(stream, i + 1)->timestamp - entry->timestamp;
        bytes = bytes && step == entry->size;
        blocks = blocks && step == chunkTicks(entry->size, blockAlign);
    }
    if (bytes) {
        counting.unitsPerTick = blockAlign;
        counting.soundInBytes = true;
    } else {
        counting.soundInChunks = true;
        counting.bytesPerChunkTick = blocks ? blockAlign : 0;
    }
    return counting;
}

std::vector<StreamPacket> packetsFromIndex(AVStream* stream, int64_t unitsPerTick)
{
    const int count = avformat_index_get_entries_count(stream);
    std::vector<StreamPacket> packets;
    reserveLargeTable(packets, size_t(count));
    for (int i = 0; i < count; ++i) {
        const AVIndexEntry* entry = avformat_index_get_entry(stream, i);
        if (entry->flags & AVINDEX_DISCARD_FRAME)
            continue;
        StreamPacket& packet = packets.emplace_back();  // in place: see FfmpegLargeTables.h
        packet.pts = AV_NOPTS_VALUE;
        packet.dts = entry->timestamp / unitsPerTick;
        packet.duration = 0;
        packet.key = (entry->flags & AVINDEX_KEYFRAME) != 0;
    }
    return packets;
}

// The picture coding type of an MPEG-1/2 video packet: the 3 bits after the
// 10-bit temporal reference that follows the picture start code 00 00 01 00.
bool isMpegBidirectionalPicture(const AVPacket* packet)
{
    constexpr int kBidirectional = 3;
    for (int i = 0; i + 5 < packet->size; ++i) {
        const uint8_t* b = packet->data + i;
        if (b[0] == 0 && b[1] == 0 && b[2] == 1 && b[3] == 0)
            return ((b[5] >> 3) & 7) == kBidirectional;
    }
    return false;
}

// The coding type of an MPEG-4 Part 2 video object plane: the 2 bits after
// its start code 00 00 01 B6.
bool isMpeg4BidirectionalPlane(const AVPacket* packet)
{
    constexpr int kBidirectional = 2;
    for (int i = 0; i + 4 < packet->size; ++i) {
        const uint8_t* b = packet->data + i;
        if (b[0] == 0 && b[1] == 0 && b[2] == 1 && b[3] == 0xB6)
            return (b[4] >> 6) == kBidirectional;
    }
    return false;
}

bool isMpegVideo(const AVStream* stream)
{
    const AVCodecID codec = stream->codecpar->codec_id;
    return codec == AV_CODEC_ID_MPEG1VIDEO || codec == AV_CODEC_ID_MPEG2VIDEO;
}

// Video whose B pictures are never referenced, so that the B marks alone
// give the presentation order.
bool showsBidirectionalAsDecoded(const AVStream* stream)
{
    return isMpegVideo(stream) || stream->codecpar->codec_id == AV_CODEC_ID_MPEG4;
}

bool isBidirectional(const AVStream* stream, const AVPacket* packet)
{
    if (isMpegVideo(stream))
        return isMpegBidirectionalPicture(packet);
    return stream->codecpar->codec_id == AV_CODEC_ID_MPEG4 && isMpeg4BidirectionalPlane(packet);
}

// MPEG program streams carry presentation times on some pictures only, AVI
// on none (its demuxer gives B pictures their decoding time). In MPEG-1/2
// and MPEG-4 Part 2 video a B picture is shown as it is decoded, and any
// other picture when the next non-B picture is decoded.
void completeReorderedPresentationTimes(std::vector<StreamPacket>& packets)
{
    int64_t nextReference = AV_NOPTS_VALUE;
    int64_t lastEnd = packets.empty() ? 0 : packets.back().dts + std::max<int64_t>(packets.back().duration, 1);
    for (size_t i = packets.size(); i-- > 0;) {
        StreamPacket& packet = packets[i];
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

// Pictures in decoding order, shown in the given order: the k-th shown takes
// the k-th decoding time.
void presentInShownOrder(std::vector<StreamPacket>& packets, const std::vector<size_t>& shown)
{
    std::vector<int64_t> times;
    times.reserve(packets.size());
    for (const StreamPacket& packet : packets)
        times.push_back(packet.dts);
    std::sort(times.begin(), times.end());
    for (size_t k = 0; k < shown.size() && k < packets.size(); ++k)
        packets[shown[k]].pts = times[k];
}

// Each sound stream's first packets are decoded on the way, as readers
// decode them, for where its sound starts.
void scanPackets(AVFormatContext* format, const FfmpegContainerTraits& container,
                 std::vector<std::vector<StreamPacket>>& packets,
                 std::vector<std::optional<FfmpegSoundStart>>& soundStarts)
{
    std::vector<std::unique_ptr<FfmpegSoundStartProbe>> probes(format->nb_streams);
    std::vector<std::unique_ptr<FfmpegPacketSampleCounts>> lengths(format->nb_streams);
    std::vector<std::unique_ptr<FfmpegH264PictureOrder>> pictureOrders(format->nb_streams);
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        AVStream* stream = format->streams[i];
        if (ordersByPictureCounts(container, stream))
            pictureOrders[i] = FfmpegH264PictureOrder::open(stream->codecpar);
        if (stream->codecpar->codec_type != AVMEDIA_TYPE_AUDIO)
            continue;
        probes[i] = std::make_unique<FfmpegSoundStartProbe>(stream);
        lengths[i] = std::make_unique<FfmpegPacketSampleCounts>(stream);
    }
    PacketPtr packet = makePacket();
    while (av_read_frame(format, packet.get()) >= 0) {
        const unsigned index = unsigned(packet->stream_index);
        if (index < probes.size() && probes[index] && probes[index]->wants())
            probes[index]->feed(packet.get());
        if (index < packets.size() && !(packet->flags & AV_PKT_FLAG_DISCARD)) {
            std::vector<StreamPacket>& list = packets[index];
            int64_t dts = packet->dts != AV_NOPTS_VALUE ? packet->dts : packet->pts;
            if (dts == AV_NOPTS_VALUE)
                dts = list.empty() ? 0 : list.back().dts + list.back().duration;
            const bool bidirectional = isBidirectional(format->streams[index], packet.get());
            // A key frame that is neither an IDR picture nor a recovery point
            // is no place to start decoding.
            bool key = (packet->flags & AV_PKT_FLAG_KEY) != 0;
            if (pictureOrders[index])
                key = pictureOrders[index]->add(packet.get()) && key;
            list.push_back({packet->pts, dts, packet->duration, key, bidirectional,
                            packetIdentity(packet->data, packet->size),
                            lengths[index] ? lengths[index]->samplesOf(packet.get()) : 0});
        }
        av_packet_unref(packet.get());
    }
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        if (showsBidirectionalAsDecoded(format->streams[i]))
            completeReorderedPresentationTimes(packets[i]);
        else if (pictureOrders[i])
            presentInShownOrder(packets[i], pictureOrders[i]->shownOrder());
        if (probes[i]) {
            probes[i]->finish();
            soundStarts[i] = probes[i]->result();
        }
    }
}

bool everyPacketHasItsTime(const std::vector<StreamPacket>& packets)
{
    return std::all_of(packets.begin(), packets.end(),
                       [](const StreamPacket& packet) { return packet.pts != AV_NOPTS_VALUE; });
}

// The stream's first presentation time (its start; else the first packet's
// own time, else its decoding time) minus its first decoding time.
int64_t reorderingDelay(const AVStream* stream, int64_t firstDts, int64_t firstOwnPts)
{
    int64_t firstPts = stream->start_time;
    if (firstPts == AV_NOPTS_VALUE)
        firstPts = firstOwnPts != AV_NOPTS_VALUE ? firstOwnPts : firstDts;
    return std::max<int64_t>(firstPts - firstDts, 0);
}

bool nonePacketHasItsTime(const std::vector<StreamPacket>& packets)
{
    return std::none_of(packets.begin(), packets.end(),
                        [](const StreamPacket& packet) { return packet.pts != AV_NOPTS_VALUE; });
}

// Presentation times from decoding times, sync marks placed on the
// packets' own presentation times where known.
std::vector<StreamPacket> shiftedDecodingTimes(std::vector<StreamPacket> packets, const AVStream* stream)
{
    const int64_t delay = reorderingDelay(stream, packets.front().dts, packets.front().pts);
    // Packets in decoding order stay in place with their own sync marks: a
    // long movie's table is not copied.
    const auto decodedEarlier = [](const StreamPacket& a, const StreamPacket& b) { return a.dts < b.dts; };
    if (nonePacketHasItsTime(packets) && std::is_sorted(packets.begin(), packets.end(), decodedEarlier)) {
        for (StreamPacket& packet : packets)
            packet.pts = packet.dts + delay;
        return packets;
    }
    std::vector<StreamPacket> ordered;
    reserveLargeTable(ordered, packets.size());
    for (const StreamPacket& packet : packets)
        ordered.push_back({packet.dts + delay, packet.dts, 0, false});
    // Decoding times normally only grow, and sorting the index of a long
    // movie that is already in order would cost more than reading it.
    const auto earlier = [](const StreamPacket& a, const StreamPacket& b) { return a.pts < b.pts; };
    const bool reordered = !std::is_sorted(ordered.begin(), ordered.end(), earlier);
    if (reordered)
        std::sort(ordered.begin(), ordered.end(), earlier);
    for (size_t i = 0; i < packets.size(); ++i) {
        const StreamPacket& packet = packets[i];
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
                                  [](const StreamPacket& entry, int64_t time) { return entry.pts < time; });
        }
        if (at != ordered.end()) {
            at->key = true;
            at->dts = packet.dts;
        }
    }
    return ordered;
}

// The last packet lasts until the stream's end where the stream declares
// one (see declaresItsEnd) beyond the packet's start; otherwise a sound
// packet its own duration where the container gives it (a last frame is
// often short), and anything else as long as the one before it lasts, or
// (the only one) its own duration, at least 1.
int64_t lastDurationOf(const AVStream* stream, const std::vector<FfmpegSamplePosition>& positions, int64_t ownDuration,
                       bool declaredEndHolds)
{
    const int64_t lastPts = positions.back().pts;
    if (declaredEndHolds && stream->duration != AV_NOPTS_VALUE && stream->start_time != AV_NOPTS_VALUE &&
        stream->start_time + stream->duration > lastPts)
        return stream->start_time + stream->duration - lastPts;
    if (stream->codecpar->codec_type == AVMEDIA_TYPE_AUDIO && ownDuration > 0)
        return ownDuration;
    if (positions.size() > 1)
        return lastPts - positions[positions.size() - 2].pts;
    return std::max<int64_t>(ownDuration, 1);
}

// Sorted by presentation time, packets of equal times kept in their order.
// Reordered pictures lie a few places from where they are shown, so that an
// insertion sort takes linear time on a long movie; packets that lie
// further (a damaged file) are merge sorted once that budget is spent.
void sortByPresentationTime(std::vector<StreamPacket>& packets)
{
    const auto earlier = [](const StreamPacket& a, const StreamPacket& b) { return a.pts < b.pts; };
    const size_t moveBudget = 16 * packets.size();
    size_t moves = 0;
    for (size_t i = 1; i < packets.size(); ++i) {
        if (!earlier(packets[i], packets[i - 1]))
            continue;
        const StreamPacket packet = packets[i];
        size_t at = i;
        for (; at > 0 && earlier(packet, packets[at - 1]); --at)
            packets[at] = packets[at - 1];
        packets[at] = packet;
        moves += i - at;
        if (moves > moveBudget) {
            std::stable_sort(packets.begin(), packets.end(), earlier);
            return;
        }
    }
}

// Where each packet's frame begins, from the first decoded sample, where
// every packet's sound was counted (Vorbis's first packet is the codec's
// priming).
std::vector<int64_t> sampleOffsetsOf(const std::vector<StreamPacket>& packets, const AVStream* stream)
{
    const auto uncounted = [](const StreamPacket& packet) { return packet.samples <= 0; };
    std::vector<int64_t> offsets;
    if (packets.empty() || std::any_of(packets.begin(), packets.end(), uncounted))
        return offsets;
    reserveLargeTable(offsets, packets.size());
    int64_t offset = firstCountedPacketPrimes(stream) ? -packets.front().samples : 0;
    for (const StreamPacket& packet : packets) {
        offsets.push_back(offset);
        offset += packet.samples;
    }
    return offsets;
}

OrderedPackets presentationOrder(std::vector<StreamPacket> packets, const AVStream* stream,
                                 bool declaredEndHolds = true)
{
    OrderedPackets result;
    if (packets.empty())
        return result;
    std::vector<StreamPacket> ordered;
    if (everyPacketHasItsTime(packets)) {
        ordered = std::move(packets);
        sortByPresentationTime(ordered);
    } else {
        ordered = shiftedDecodingTimes(std::move(packets), stream);
    }
    reserveLargeTable(result.positions, ordered.size());
    result.sync.reserve(ordered.size());
    for (const StreamPacket& packet : ordered) {
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

// Where the decoding times shifted by the reordering delay cannot time a
// reordered stream even at a constant rate: the steps between them are
// uneven (a variable rate), an edit list discards entries (leaving gaps
// among them) or the file is cut short. Even steps prove nothing about the
// composition offsets, which is why the header's come first.
bool indexLacksPresentationTimes(AVStream* stream, int64_t fileEnd)
{
    const int count = avformat_index_get_entries_count(stream);
    int64_t step = 0;
    for (int i = 0; i < count; ++i) {
        const AVIndexEntry* entry = avformat_index_get_entry(stream, i);
        if ((entry->flags & AVINDEX_DISCARD_FRAME) || (fileEnd > 0 && entry->pos + entry->size > fileEnd))
            return true;
        if (i == 0)
            continue;
        const int64_t gap = entry->timestamp - avformat_index_get_entry(stream, i - 1)->timestamp;
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
std::optional<CompositionOffsets> offsetsPairedWithIndex(AVStream* stream, const std::string& path, int64_t fileEnd,
                                                         bool fragmented)
{
    const int count = avformat_index_get_entries_count(stream);
    if (path.empty() || stream->id <= 0 || count <= 0)
        return std::nullopt;
    for (int i = 0; i < count; ++i) {
        const AVIndexEntry* entry = avformat_index_get_entry(stream, i);
        if ((entry->flags & AVINDEX_DISCARD_FRAME) || (fileEnd > 0 && entry->pos + entry->size > fileEnd))
            return std::nullopt;
    }
    std::optional<CompositionOffsets> offsets = fragmented
                                                    ? fragmentOffsetsInFile(path, uint32_t(stream->id), uint64_t(count))
                                                    : compositionOffsetsInFile(path, uint32_t(stream->id));
    if (!offsets || offsets->samples != uint64_t(count))
        return std::nullopt;
    return offsets;
}

// The stream's packets timed by offsets paired with its index, as FFmpeg's
// demuxer times them: each at its index entry's time plus the shift of
// negative offsets plus its sample's offset, lasting until the next entry's
// time.
std::vector<StreamPacket> packetsFromOffsets(AVStream* stream, const CompositionOffsets& offsets)
{
    const int count = avformat_index_get_entries_count(stream);
    std::vector<StreamPacket> packets;
    reserveLargeTable(packets, size_t(count));
    int i = 0;
    for (const CompositionRun& run : offsets.runs) {
        for (uint32_t k = 0; k < run.count; ++k, ++i) {
            const AVIndexEntry* entry = avformat_index_get_entry(stream, i);
            const int64_t next = i + 1 < count ? avformat_index_get_entry(stream, i + 1)->timestamp : stream->duration;
            StreamPacket& packet = packets.emplace_back();  // in place: see FfmpegLargeTables.h
            packet.pts = entry->timestamp + offsets.decodingShift + run.offset;
            packet.dts = entry->timestamp;
            packet.duration = next != AV_NOPTS_VALUE && next >= entry->timestamp ? next - entry->timestamp : 0;
            packet.key = (entry->flags & AVINDEX_KEYFRAME) != 0;
        }
    }
    return packets;
}

// Whether offsets paired with the index only shift the decoding times by
// the reordering delay, as in most files (a constant rate): the decoding
// times step evenly, every picture is shown at one of them shifted, no two
// at the same, and every sync picture at its own. The shifted index
// (orderFromIndex) then gives the same times and sync marks as the offsets,
// without a table sorted on the way: opening such a file costs the walk of
// its header and this one pass.
bool offsetsShiftDecodingTimes(AVStream* stream, const CompositionOffsets& offsets)
{
    const int count = avformat_index_get_entries_count(stream);
    const int64_t first = avformat_index_get_entry(stream, 0)->timestamp;
    const int64_t delay = reorderingDelay(stream, first, AV_NOPTS_VALUE);
    const int64_t step = count > 1 ? avformat_index_get_entry(stream, 1)->timestamp - first : 1;
    if (step <= 0)
        return false;
    std::vector<bool> taken(size_t(count), false);
    const int64_t shift = offsets.decodingShift - delay;
    int64_t previous = first;
    int i = 0;
    for (const CompositionRun& run : offsets.runs) {
        for (uint32_t k = 0; k < run.count; ++k, ++i) {
            const AVIndexEntry* entry = avformat_index_get_entry(stream, i);
            // How far the picture is shown from its own shifted decoding time.
            const int64_t lead = shift + run.offset;
            if ((i > 0 && entry->timestamp - previous != step) || lead % step != 0 ||
                ((entry->flags & AVINDEX_KEYFRAME) && lead != 0))
                return false;
            const int64_t shownAt = i + lead / step;
            if (shownAt < 0 || shownAt >= count || taken[size_t(shownAt)])
                return false;
            taken[size_t(shownAt)] = true;
            previous = entry->timestamp;
        }
    }
    return true;
}

// Every stream of a demuxer but one (or all) skipped unread while this
// lives; each keeps its own setting afterwards.
class StreamsSkipped {
public:
    StreamsSkipped(AVFormatContext* format, const AVStream* kept) : format_(format)
    {
        for (unsigned i = 0; i < format->nb_streams; ++i) {
            settings_.push_back(format->streams[i]->discard);
            format->streams[i]->discard = format->streams[i] == kept ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
        }
    }
    ~StreamsSkipped()
    {
        for (size_t i = 0; i < settings_.size() && i < format_->nb_streams; ++i)
            format_->streams[i]->discard = settings_[i];
    }
    StreamsSkipped(const StreamsSkipped&) = delete;
    StreamsSkipped& operator=(const StreamsSkipped&) = delete;

private:
    AVFormatContext* format_;
    std::vector<AVDiscard> settings_;
};

// One stream's packets as the demuxer reads them, with their own
// presentation times: the stream's media data is read once (other streams
// are skipped unread). Packets an edit list discards, and the one a
// truncated file cuts, are left out; where a key frame among the discarded
// leads to the first picture, keyBefore is set.
std::vector<StreamPacket> packetsFromReading(AVFormatContext* format, AVStream* stream, bool& keyBefore)
{
    const StreamsSkipped others(format, stream);
    std::vector<StreamPacket> packets;
    keyBefore = false;
    if (av_seek_frame(format, stream->index, avformat_index_get_entry(stream, 0)->timestamp, AVSEEK_FLAG_BACKWARD) >= 0) {
        PacketPtr packet = makePacket();
        while (av_read_frame(format, packet.get()) >= 0) {
            const bool key = (packet->flags & AV_PKT_FLAG_KEY) != 0;
            if (packet->stream_index != stream->index || packet->pts == AV_NOPTS_VALUE ||
                (packet->flags & AV_PKT_FLAG_CORRUPT)) {
            } else if (packet->flags & AV_PKT_FLAG_DISCARD) {
                keyBefore = keyBefore || (packets.empty() && key);
            } else {
                packets.push_back({packet->pts, packet->dts, packet->duration, key});
            }
            av_packet_unref(packet.get());
        }
    }
    return packets;
}

// An edit list that cuts into a group of pictures leaves the group's key
// frame before the movie's start: decoding the first picture starts there
// (a seek to the first picture's decoding time lands on it), so the first
// picture is where a reader may start.
void startAtTheFirstPicture(OrderedPackets& ordered, bool keyBefore)
{
    if (keyBefore && !ordered.sync.empty())
        ordered.sync[0] = true;
}

// The usual index: in decoding order, without presentation times (an index
// holds none). Its presentation times are the decoding times shifted by the
// reordering delay, and its sync marks stay in place: ordered straight from
// the index into the positions that the track keeps, with no table in
// between. False, with nothing ordered, for an index out of decoding order.
//
// A file cut short (fileEnd: its size, or -1 when unknown) ends with the last
// packet before the first one whose bytes it lacks, in decoding order, so
// that every picture kept can be decoded; that packet lasts as long as the
// one before it, not until the end the header promised.
bool orderFromIndex(AVStream* stream, const IndexCounting& counting, int64_t fileEnd, OrderedPackets& ordered)
{
    const int64_t unitsPerTick = counting.unitsPerTick;
    const int entries = avformat_index_get_entries_count(stream);
    std::vector<FfmpegSamplePosition>& positions = ordered.positions;
    reserveLargeTable(positions, size_t(std::max(entries, 0)));
    ordered.sync.reserve(positions.capacity());
    int64_t delay = 0;
    bool keyBefore = false;
    const AVIndexEntry* last = nullptr;
    bool cutShort = false;
    for (int i = 0; i < entries; ++i) {
        const AVIndexEntry* entry = avformat_index_get_entry(stream, i);
        if (fileEnd > 0 && entry->pos >= 0 && entry->pos + entry->size > fileEnd) {
            cutShort = true;
            break;
        }
        if (entry->flags & AVINDEX_DISCARD_FRAME) {
            keyBefore = keyBefore || (positions.empty() && (entry->flags & AVINDEX_KEYFRAME));
            continue;
        }
        const int64_t dts = entry->timestamp / unitsPerTick;
        // Sound is never reordered: a start later than its first packet is
        // priming that the decoder drops, not a delay.
        if (positions.empty()) {
            delay = stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO ? reorderingDelay(stream, dts, AV_NOPTS_VALUE)
                                                                       : 0;
        } else if (dts < positions.back().dts) {
            ordered = {};
            return false;
        }
        FfmpegSamplePosition& position = positions.emplace_back();  // in place: see FfmpegLargeTables.h
        position.pts = dts + delay;
        position.dts = dts;
        position.identity = 0;
        ordered.sync.push_back((entry->flags & AVINDEX_KEYFRAME) != 0);
        last = entry;
    }
    startAtTheFirstPicture(ordered, keyBefore);
    if (!positions.empty()) {
        // Sound lasts as long as its last entry's bytes or chunk.
        const size_t count = positions.size();
        if (counting.soundInBytes)
            ordered.lastDuration = std::max<int64_t>(last->size / unitsPerTick, 1);
        else if (counting.soundInChunks)
            ordered.lastDuration = chunkTicks(last->size, counting.bytesPerChunkTick);
        else if (cutShort)
            ordered.lastDuration = count > 1 ? std::max<int64_t>(positions[count - 1].pts - positions[count - 2].pts, 1) : 1;
        else
            ordered.lastDuration = lastDurationOf(stream, positions, 0, true);
    }
    return true;
}

OrderedPackets orderedFromIndex(AVStream* stream, const IndexCounting& counting, int64_t fileEnd)
{
    OrderedPackets ordered;
    if (!orderFromIndex(stream, counting, fileEnd, ordered))
        ordered = presentationOrder(packetsFromIndex(stream, counting.unitsPerTick), stream,
                                    !counting.countsAviSound());
    return ordered;
}

// Reordered QuickTime or MP4 pictures: by the composition offsets of the
// header or the fragments where they pair with the index (the only exact
// times short of reading the packets), through the shifted index where the
// offsets only shift the decoding times; else by their packets where the
// index cannot time them or the file is fragmented, and by the shifted
// decoding times elsewhere.
OrderedPackets orderedQuickTimePictures(AVFormatContext* format, const FfmpegContainerTraits& container,
                                        AVStream* stream, const std::string& path, int64_t fileEnd, bool fragmented)
{
    const std::optional<CompositionOffsets> offsets = offsetsPairedWithIndex(stream, path, fileEnd, fragmented);
    if (offsets && !offsetsShiftDecodingTimes(stream, *offsets))
        return presentationOrder(packetsFromOffsets(stream, *offsets), stream);
    if (!offsets && (fragmented || indexLacksPresentationTimes(stream, fileEnd)))
        return orderedFromReading(format, stream);
    return orderedFromIndex(stream, indexCountingOf(container, stream), fileEnd);
}

// FFmpeg indexes the fragments that a segment index announces only as it
// reads them: a read of every packet, each stream discarded, indexes them
// all without reading any sample's bytes.
void indexEveryFragment(AVFormatContext* format)
{
    const StreamsSkipped all(format, nullptr);
    PacketPtr packet = makePacket();
    while (av_read_frame(format, packet.get()) >= 0)
        av_packet_unref(packet.get());
}

// The file's fragments, every one of them in FFmpeg's index.
MovieFragments fragmentsIndexed(AVFormatContext* format, const std::string& path)
{
    const MovieFragments fragments = movieFragmentsIn(path);
    if (fragments.indexedAhead)
        indexEveryFragment(format);
    return fragments;
}

// An AVI stream shows its first picture at its start, where the first
// packet is decoded: the decoder's delay does not move it.
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

} // namespace

bool ordersByPictureCounts(const FfmpegContainerTraits& container, const AVStream* stream)
{
    return needsPictureBytesForOrder(container, stream) && stream->codecpar->codec_id == AV_CODEC_ID_H264 &&
           FfmpegH264PictureOrder::available();
}

bool timedByOutputOrder(const FfmpegContainerTraits& container, const AVStream* stream)
{
    return needsPictureBytesForOrder(container, stream) && !ordersByPictureCounts(container, stream);
}

std::optional<OrderedPackets> orderedFromHeaderOffsets(AVFormatContext* format, AVStream* stream,
                                                       const std::string& path, int64_t fileEnd)
{
    const MovieFragments fragments = fragmentsIndexed(format, path);
    const std::optional<CompositionOffsets> offsets = offsetsPairedWithIndex(stream, path, fileEnd, fragments.present);
    if (!offsets)
        return std::nullopt;
    return presentationOrder(packetsFromOffsets(stream, *offsets), stream);
}

OrderedPackets orderedFromReading(AVFormatContext* format, AVStream* stream)
{
    bool keyBefore = false;
    OrderedPackets ordered = presentationOrder(packetsFromReading(format, stream, keyBefore), stream);
    startAtTheFirstPicture(ordered, keyBefore);
    return ordered;
}

std::vector<OrderedPackets> orderedStreamPackets(AVFormatContext* format, const FfmpegContainerTraits& container,
                                                 const std::string& path, bool headerIndexed)
{
    std::vector<OrderedPackets> ordered(format->nb_streams);
    if (headerIndexed && indexCoversEveryStream(format, container)) {
        const int64_t fileEnd = format->pb ? avio_size(format->pb) : -1;
        const MovieFragments fragments = container.headerDescribesStreams ? fragmentsIndexed(format, path)
                                                                          : MovieFragments();
        for (unsigned i = 0; i < format->nb_streams; ++i) {
            AVStream* stream = format->streams[i];
            ordered[i] = isReorderedQuickTimeVideo(container, stream)
                             ? orderedQuickTimePictures(format, container, stream, path, fileEnd, fragments.present)
                             : orderedFromIndex(stream, indexCountingOf(container, stream), fileEnd);
        }
        return ordered;
    }
    // Only the packets' times are needed: the parsers still split frames, but
    // nothing is decoded.
    std::vector<std::vector<StreamPacket>> packets(format->nb_streams);
    std::vector<std::optional<FfmpegSoundStart>> soundStarts(format->nb_streams);
    scanPackets(format, container, packets, soundStarts);
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        ordered[i] = presentationOrder(std::move(packets[i]), format->streams[i],
                                       declaresItsEnd(container, format->streams[i]));
        ordered[i].soundStart = soundStarts[i];
        if (needsPictureBytesForOrder(container, format->streams[i]))
            showFirstPictureAtFirstDecodingTime(ordered[i]);
    }
    return ordered;
}

} // namespace QelRuntime
