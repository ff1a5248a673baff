// Owners for the FFmpeg objects that the movie source holds, so that every
// error path releases what it took. Include this instead of FFmpeg's own
// headers.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/vorbis_parser.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <memory>

namespace QelRuntime {

struct FormatContextCloser {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
struct CodecContextFreer {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct FrameFreer {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketFreer {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct ScaleContextFreer {
    void operator()(SwsContext* context) const { sws_freeContext(context); }
};
struct ResampleContextFreer {
    void operator()(SwrContext* context) const { swr_free(&context); }
};
struct ParserCloser {
    void operator()(AVCodecParserContext* parser) const { av_parser_close(parser); }
};

struct VorbisParserFreer {
    void operator()(AVVorbisParseContext* parser) const { av_vorbis_parse_free(&parser); }
};

using FormatContextPtr = std::unique_ptr<AVFormatContext, FormatContextCloser>;
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextFreer>;
using FramePtr = std::unique_ptr<AVFrame, FrameFreer>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFreer>;
using ScaleContextPtr = std::unique_ptr<SwsContext, ScaleContextFreer>;
using ResampleContextPtr = std::unique_ptr<SwrContext, ResampleContextFreer>;
using VorbisParserPtr = std::unique_ptr<AVVorbisParseContext, VorbisParserFreer>;
using ParserPtr = std::unique_ptr<AVCodecParserContext, ParserCloser>;

// Allocation failures of FFmpeg's own allocators surface as the standard
// exception, like every other allocation failure of the runtime.
FramePtr makeFrame();
PacketPtr makePacket();

// Opens path for demuxing with its stream information read; null when FFmpeg
// cannot open it.
FormatContextPtr openFormat(const char* path);

// Opens path for demuxing with only its header read: the streams' parameters
// are what the header says, without the probing that decodes a few frames.
// Null when FFmpeg cannot open it.
FormatContextPtr openFormatHeader(const char* path);

// Shared, immutable stream parameters (a copy of a probed stream's).
using CodecParametersPtr = std::shared_ptr<const AVCodecParameters>;
CodecParametersPtr copyCodecParameters(const AVCodecParameters* parameters);

// A decoder for the stream's codec, opened with its parameters; null when
// the codec is not supported. Where decoding starts at recovery points that
// are not IDR pictures, FFmpeg's H.264 decoder may hold back pictures it
// deems unrecovered (the key frame itself, after pictures shown before it
// failed to decode): showAll gives out every picture, and the caller drops
// those shown before the picture it started at.
CodecContextPtr openDecoder(const AVStream* stream, bool allowThreads, bool showAll = false);

} // namespace QelRuntime
