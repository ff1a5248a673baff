#include "timing/FfmpegPacketScan.h"

#include "codecs/FfmpegH264PictureOrder.h"
#include "codecs/FfmpegMpegPictureTypes.h"
#include "codecs/FfmpegSoundStart.h"
#include "timing/FfmpegPacketRecognition.h"

#include <memory>

namespace QelRuntime {

namespace {

// What the scan runs beside each stream's packets.
struct StreamReaders {
    std::unique_ptr<FfmpegSoundStartProbe> soundStart;
    std::unique_ptr<FfmpegPacketSampleCounts> sampleCounts;
    std::unique_ptr<FfmpegH264PictureOrder> pictureOrder;
};

std::vector<StreamReaders> readersOf(AVFormatContext* format, const std::vector<bool>& byPictureCounts)
{
    std::vector<StreamReaders> readers(format->nb_streams);
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        AVStream* stream = format->streams[i];
        if (i < byPictureCounts.size() && byPictureCounts[i])
            readers[i].pictureOrder = FfmpegH264PictureOrder::open(stream->codecpar);
        if (stream->codecpar->codec_type != AVMEDIA_TYPE_AUDIO)
            continue;
        readers[i].soundStart = std::make_unique<FfmpegSoundStartProbe>(stream);
        readers[i].sampleCounts = std::make_unique<FfmpegPacketSampleCounts>(stream);
    }
    return readers;
}

FfmpegPacketRecord recordOf(AVPacket* packet, const AVStream* stream, const std::vector<FfmpegPacketRecord>& before,
                            StreamReaders& readers)
{
    int64_t dts = packet->dts != AV_NOPTS_VALUE ? packet->dts : packet->pts;
    if (dts == AV_NOPTS_VALUE)
        dts = before.empty() ? 0 : before.back().dts + before.back().duration;
    const bool bidirectional = isBidirectionalPicture(stream->codecpar->codec_id, packet->data, packet->size);
    // A key frame that is neither an IDR picture nor a recovery point is no
    // place to start decoding.
    bool key = (packet->flags & AV_PKT_FLAG_KEY) != 0;
    if (readers.pictureOrder)
        key = readers.pictureOrder->add(packet) && key;
    return {packet->pts, dts, packet->duration, key, bidirectional, packetIdentity(packet->data, packet->size),
            readers.sampleCounts ? readers.sampleCounts->samplesOf(packet) : 0};
}

// Packets an edit list discards, and the one a truncated file cuts, are left
// out; where a key frame among the discarded leads to the first picture,
// keyBefore is set.
std::vector<FfmpegPacketRecord> packetsFromReading(AVFormatContext* format, AVStream* stream, bool& keyBefore)
{
    const FfmpegStreamsSkipped others(format, stream);
    std::vector<FfmpegPacketRecord> packets;
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

} // namespace

FfmpegStreamsSkipped::FfmpegStreamsSkipped(AVFormatContext* format, const AVStream* kept) : format_(format)
{
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        settings_.push_back(format->streams[i]->discard);
        format->streams[i]->discard = format->streams[i] == kept ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    }
}

FfmpegStreamsSkipped::~FfmpegStreamsSkipped()
{
    for (size_t i = 0; i < settings_.size() && i < format_->nb_streams; ++i)
        format_->streams[i]->discard = settings_[i];
}

FfmpegScannedStreams scanEveryPacket(AVFormatContext* format, const std::vector<bool>& byPictureCounts)
{
    FfmpegScannedStreams scanned;
    scanned.packets.resize(format->nb_streams);
    scanned.soundStarts.resize(format->nb_streams);
    std::vector<StreamReaders> readers = readersOf(format, byPictureCounts);
    PacketPtr packet = makePacket();
    while (av_read_frame(format, packet.get()) >= 0) {
        const unsigned index = unsigned(packet->stream_index);
        if (index < readers.size() && readers[index].soundStart && readers[index].soundStart->wants())
            readers[index].soundStart->feed(packet.get());
        if (index < scanned.packets.size() && !(packet->flags & AV_PKT_FLAG_DISCARD)) {
            std::vector<FfmpegPacketRecord>& list = scanned.packets[index];
            list.push_back(recordOf(packet.get(), format->streams[index], list, readers[index]));
        }
        av_packet_unref(packet.get());
    }
    // Streams that the demuxer found only during the scan have no place in
    // the movie: its tracks are the streams known when the scan began.
    for (unsigned i = 0; i < readers.size(); ++i) {
        if (showsBidirectionalAsDecoded(format->streams[i]->codecpar->codec_id))
            completeReorderedPresentationTimes(scanned.packets[i]);
        else if (readers[i].pictureOrder)
            presentInShownOrder(scanned.packets[i], readers[i].pictureOrder->shownOrder());
        if (readers[i].soundStart) {
            readers[i].soundStart->finish();
            scanned.soundStarts[i] = readers[i].soundStart->result();
        }
    }
    return scanned;
}

OrderedPackets orderedFromReading(AVFormatContext* format, AVStream* stream)
{
    bool keyBefore = false;
    std::vector<FfmpegPacketRecord> packets = packetsFromReading(format, stream, keyBefore);
    // The facts are taken after the read, which may fill in the stream's start.
    OrderedPackets ordered = presentationOrder(std::move(packets), streamFactsOf(stream));
    startAtTheFirstPicture(ordered, keyBefore);
    return ordered;
}

} // namespace QelRuntime
