#include "FfmpegSampleTable.h"

#include <cstring>

namespace Qel {

namespace {

bool keepsCompleteIndex(const AVFormatContext* format)
{
    const char* name = format->iformat->name;
    return std::strstr(name, "mov") != nullptr || std::strcmp(name, "avi") == 0;
}

bool isPlayable(const AVStream* stream)
{
    const AVMediaType type = stream->codecpar->codec_type;
    return type == AVMEDIA_TYPE_VIDEO || type == AVMEDIA_TYPE_AUDIO;
}

bool indexCoversEveryStream(AVFormatContext* format)
{
    if (!keepsCompleteIndex(format))
        return false;
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        if (isPlayable(format->streams[i]) && avformat_index_get_entries_count(format->streams[i]) == 0)
            return false;
    }
    return true;
}

std::vector<StreamPacket> packetsFromIndex(AVStream* stream)
{
    const int count = avformat_index_get_entries_count(stream);
    std::vector<StreamPacket> packets;
    packets.reserve(size_t(count));
    for (int i = 0; i < count; ++i) {
        const AVIndexEntry* entry = avformat_index_get_entry(stream, i);
        if (entry->flags & AVINDEX_DISCARD_FRAME)
            continue;
        packets.push_back({entry->timestamp, entry->timestamp, 0, (entry->flags & AVINDEX_KEYFRAME) != 0});
    }
    if (packets.empty())
        return packets;
    const int64_t shift = stream->start_time == AV_NOPTS_VALUE ? 0 : stream->start_time - packets.front().dts;
    for (StreamPacket& packet : packets)
        packet.pts = packet.dts + (shift > 0 ? shift : 0);
    for (size_t i = 0; i + 1 < packets.size(); ++i)
        packets[i].duration = packets[i + 1].dts - packets[i].dts;
    return packets;
}

void scanPackets(AVFormatContext* format, std::vector<std::vector<StreamPacket>>& packets)
{
    PacketPtr packet = makePacket();
    while (av_read_frame(format, packet.get()) >= 0) {
        const unsigned index = unsigned(packet->stream_index);
        if (index < packets.size() && !(packet->flags & AV_PKT_FLAG_DISCARD)) {
            std::vector<StreamPacket>& list = packets[index];
            int64_t pts = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
            if (pts == AV_NOPTS_VALUE)
                pts = list.empty() ? 0 : list.back().pts + list.back().duration;
            const int64_t dts = packet->dts != AV_NOPTS_VALUE ? packet->dts : pts;
            list.push_back({pts, dts, packet->duration, (packet->flags & AV_PKT_FLAG_KEY) != 0});
        }
        av_packet_unref(packet.get());
    }
}

} // namespace

std::vector<std::vector<StreamPacket>> collectStreamPackets(AVFormatContext* format)
{
    std::vector<std::vector<StreamPacket>> packets(format->nb_streams);
    if (indexCoversEveryStream(format)) {
        for (unsigned i = 0; i < format->nb_streams; ++i)
            packets[i] = packetsFromIndex(format->streams[i]);
        return packets;
    }
    // Only the packets' times are needed: the parsers still split frames, but
    // nothing is decoded.
    scanPackets(format, packets);
    return packets;
}

} // namespace Qel
