#include "FfmpegLibraries.h"

#include "formats/FfmpegProbe.h"

#include <new>

namespace QelRuntime {

namespace {

void discardMessage(void*, int, const char*, va_list) {}

// FFmpeg reports damaged input on stderr by default; the runtime reports
// through statuses instead. Its messages are dropped before any formatting
// or level test: a long movie's index alone sends one per sample.
void quietenLibraries()
{
    static const bool quietened = [] {
        av_log_set_level(AV_LOG_QUIET);
        av_log_set_callback(discardMessage);
        return true;
    }();
    (void)quietened;
}

} // namespace

FramePtr makeFrame()
{
    FramePtr frame(av_frame_alloc());
    if (!frame)
        throw std::bad_alloc();
    return frame;
}

PacketPtr makePacket()
{
    PacketPtr packet(av_packet_alloc());
    if (!packet)
        throw std::bad_alloc();
    return packet;
}

FormatContextPtr openFormat(const char* path)
{
    FormatContextPtr context = openFormatHeader(path);
    if (!context || avformat_find_stream_info(context.get(), nullptr) < 0)
        return nullptr;
    return context;
}

FormatContextPtr openFormatHeader(const char* path)
{
    quietenLibraries();
    // Only local files through accepted demuxers. FFmpeg probes the file
    // again on opening, and the file may have changed since it was accepted:
    // without the format whitelist a playlist or script disguised as a movie
    // would reach a demuxer that opens the files or addresses it names
    // before the demuxer's name could be checked. Both lists are also the
    // ones of any file a demuxer opens in turn.
    AVDictionary* options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    av_dict_set(&options, "format_whitelist", acceptedDemuxerList().c_str(), 0);
    // Unrecognised QuickTime user data, such as the movie's 'ctyp' item,
    // becomes metadata under its own code.
    av_dict_set(&options, "export_all", "1", 0);
    AVFormatContext* raw = nullptr;
    const int opened = avformat_open_input(&raw, path, nullptr, &options);
    av_dict_free(&options);
    if (opened < 0)
        return nullptr;
    return FormatContextPtr(raw);
}

CodecParametersPtr copyCodecParameters(const AVCodecParameters* parameters)
{
    AVCodecParameters* copy = avcodec_parameters_alloc();
    if (!copy)
        throw std::bad_alloc();
    CodecParametersPtr owned(copy, [](AVCodecParameters* p) { avcodec_parameters_free(&p); });
    if (avcodec_parameters_copy(copy, parameters) < 0)
        throw std::bad_alloc();
    return owned;
}

CodecContextPtr openDecoder(const AVStream* stream, bool allowThreads, bool showAll)
{
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!codec)
        return nullptr;
    CodecContextPtr context(avcodec_alloc_context3(codec));
    if (!context)
        throw std::bad_alloc();
    if (avcodec_parameters_to_context(context.get(), stream->codecpar) < 0)
        return nullptr;
    context->pkt_timebase = stream->time_base;
    // Frame threads add a few frames of latency but no reordering of their own:
    // pictures still come out in presentation order.
    context->thread_count = allowThreads && QEL_DECODER_THREADS ? 0 : 1;
    context->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    // The same pictures on every build: FFmpeg's automatic choice of inverse
    // DCT (MPEG-1/2/4, Motion JPEG, DV) is this exact one on 64-bit x86,
    // but on 32-bit x86 an approximation of its own.
    context->idct_algo = FF_IDCT_SIMPLE;
    if (showAll)
        context->flags2 |= AV_CODEC_FLAG2_SHOW_ALL;
    if (avcodec_open2(context.get(), codec, nullptr) < 0)
        return nullptr;
    return context;
}

} // namespace QelRuntime
