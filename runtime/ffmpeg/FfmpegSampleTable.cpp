#include "FfmpegSampleTable.h"

#include "codecs/FfmpegH264PictureOrder.h"
#include "formats/avi/FfmpegAviIndex.h"
#include "formats/mp4/FfmpegMp4Timing.h"
#include "timing/FfmpegIndexOrder.h"
#include "timing/FfmpegPacketScan.h"

namespace QelRuntime {

namespace {

bool isPlayable(const AVStream* stream)
{
    const AVMediaType type = stream->codecpar->codec_type;
    return type == AVMEDIA_TYPE_VIDEO || type == AVMEDIA_TYPE_AUDIO;
}

// Reordered pictures whose order lies in their bytes (the containers' rows
// say where), which only the file's scan reads.
bool needsPictureBytesForOrder(const FfmpegContainerTraits& container, const AVStream* stream)
{
    const AVCodecParameters* parameters = stream->codecpar;
    if (parameters->codec_type != AVMEDIA_TYPE_VIDEO || parameters->video_delay <= 0)
        return false;
    return container.pictureOrderInBytes ||
           (container.pictureOrderInBytesForH264Only && parameters->codec_id == AV_CODEC_ID_H264);
}

// Whether the index can order every playable stream, so that opening reads
// no media data: it holds every packet, has entries for each stream, and no
// stream's order lies in its pictures' bytes.
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

// A sound stream whose declared length its container does not vouch for
// ends where its last chunk does, as ffmpeg's decode of it.
bool declaresItsEnd(const FfmpegContainerTraits& container, const AVStream* stream)
{
    return !container.indexCountsSoundInBytesOrChunks || stream->codecpar->codec_type != AVMEDIA_TYPE_AUDIO;
}

FfmpegIndexCounting indexCountingOf(const FfmpegContainerTraits& container, AVStream* stream)
{
    if (declaresItsEnd(container, stream))
        return {};
    return aviSoundCounting(FfmpegIndex(stream), stream->codecpar->block_align);
}

// Pictures whose decoding order differs from their presentation order, in
// a file whose index holds decoding times only (QuickTime and MP4).
bool isReorderedQuickTimeVideo(const FfmpegContainerTraits& container, const AVStream* stream)
{
    return container.headerDescribesStreams && stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
           stream->codecpar->video_delay > 0;
}

std::vector<OrderedPackets> orderedFromTheIndex(AVFormatContext* format, const FfmpegContainerTraits& container,
                                                const std::string& path)
{
    std::vector<OrderedPackets> ordered(format->nb_streams);
    const int64_t fileEnd = format->pb ? avio_size(format->pb) : -1;
    // Fragments a segment index announces are indexed first: FFmpeg meets
    // them only as it reads.
    const MovieFragments fragments = container.headerDescribesStreams ? fragmentsIndexed(format, path)
                                                                      : MovieFragments();
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        AVStream* stream = format->streams[i];
        ordered[i] = isReorderedQuickTimeVideo(container, stream)
                         ? orderedMp4Pictures(format, stream, path, fileEnd, fragments.present)
                         : orderedFromIndex(FfmpegIndex(stream), streamFactsOf(stream),
                                            indexCountingOf(container, stream), fileEnd);
    }
    return ordered;
}

// Only the packets' times are needed: the parsers still split frames, but
// nothing is decoded.
std::vector<OrderedPackets> orderedFromTheScan(AVFormatContext* format, const FfmpegContainerTraits& container)
{
    std::vector<bool> byPictureCounts(format->nb_streams);
    for (unsigned i = 0; i < format->nb_streams; ++i)
        byPictureCounts[i] = ordersByPictureCounts(container, format->streams[i]);
    FfmpegScannedStreams scanned = scanEveryPacket(format, byPictureCounts);
    std::vector<OrderedPackets> ordered(scanned.packets.size());
    for (unsigned i = 0; i < ordered.size(); ++i) {
        const AVStream* stream = format->streams[i];
        ordered[i] = presentationOrder(std::move(scanned.packets[i]), streamFactsOf(stream),
                                       declaresItsEnd(container, stream));
        ordered[i].soundStart = scanned.soundStarts[i];
        if (needsPictureBytesForOrder(container, stream))
            showFirstPictureAtFirstDecodingTime(ordered[i]);
    }
    return ordered;
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

// An AVI whose recording was cut short lacks the index written at its end:
// FFmpeg's index then holds only the packets that probing met, and its
// packets are scanned as other containers' are.
std::vector<OrderedPackets> orderedStreamPackets(AVFormatContext* format, const FfmpegContainerTraits& container,
                                                 const std::string& path, bool headerIndexed)
{
    if (headerIndexed && indexCoversEveryStream(format, container))
        return orderedFromTheIndex(format, container, path);
    return orderedFromTheScan(format, container);
}

} // namespace QelRuntime
