// FFmpeg's side of the benchmarks: the libraries used directly for the same
// work that the plug-in does through the runtime, set up the same way
// (automatic frame and slice threads for pictures, one thread for sound,
// the same scaler flags and colour handling for the YUYV conversion).
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Qel::Bench {

struct FormatCloser {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
struct CodecFreer {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct FrameFreer {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketFreer {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct ScalerFreer {
    void operator()(SwsContext* context) const { sws_freeContext(context); }
};
struct ResamplerFreer {
    void operator()(SwrContext* context) const { swr_free(&context); }
};

using Format = std::unique_ptr<AVFormatContext, FormatCloser>;
using Codec = std::unique_ptr<AVCodecContext, CodecFreer>;
using Frame = std::unique_ptr<AVFrame, FrameFreer>;
using Packet = std::unique_ptr<AVPacket, PacketFreer>;
using Scaler = std::unique_ptr<SwsContext, ScalerFreer>;
using Resampler = std::unique_ptr<SwrContext, ResamplerFreer>;

Frame newFrame();
Packet newPacket();

// One stream of a file with its decoder open; throws std::runtime_error when
// the file has no such stream or it cannot be decoded.
struct DecodingStream {
    Format format;
    Codec codec;
    int index = -1;

    DecodingStream(const std::string& path, AVMediaType type);
    AVStream* stream() const { return format->streams[index]; }
    // The next decoded frame into frame; false at the end.
    bool next(AVFrame* frame, AVPacket* packet);
};

// Converts pictures into one YUYV 4:2:2 buffer of the picture's size.
class YuyvConverter {
public:
    void convert(const AVFrame* picture);
    size_t bytes() const { return output.size(); }

private:
    Scaler scaler;
    std::vector<uint8_t> output;
};

} // namespace Qel::Bench
