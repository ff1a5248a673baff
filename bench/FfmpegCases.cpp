#include "FfmpegCases.h"

#include <new>
#include <stdexcept>

namespace Qel::Bench {

Frame newFrame()
{
    Frame frame(av_frame_alloc());
    if (!frame)
        throw std::bad_alloc();
    return frame;
}

Packet newPacket()
{
    Packet packet(av_packet_alloc());
    if (!packet)
        throw std::bad_alloc();
    return packet;
}

DecodingStream::DecodingStream(const std::string& path, AVMediaType type)
{
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0)
        throw std::runtime_error("cannot open " + path);
    format.reset(raw);
    if (avformat_find_stream_info(format.get(), nullptr) < 0)
        throw std::runtime_error("no stream information in " + path);
    const AVCodec* decoder = nullptr;
    index = av_find_best_stream(format.get(), type, -1, -1, &decoder, 0);
    if (index < 0 || !decoder)
        throw std::runtime_error("no decodable stream in " + path);
    for (unsigned i = 0; i < format->nb_streams; ++i)
        format->streams[i]->discard = int(i) == index ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    codec.reset(avcodec_alloc_context3(decoder));
    if (!codec || avcodec_parameters_to_context(codec.get(), stream()->codecpar) < 0)
        throw std::runtime_error("cannot set up the decoder");
    codec->pkt_timebase = stream()->time_base;
    // As the runtime sets its decoders: automatic threads for pictures, one
    // for sound.
    codec->thread_count = type == AVMEDIA_TYPE_VIDEO ? 0 : 1;
    codec->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    if (avcodec_open2(codec.get(), decoder, nullptr) < 0)
        throw std::runtime_error("cannot open the decoder");
}

bool DecodingStream::next(AVFrame* frame, AVPacket* packet)
{
    for (;;) {
        const int received = avcodec_receive_frame(codec.get(), frame);
        if (received >= 0)
            return true;
        if (received != AVERROR(EAGAIN))
            return false;
        int read = 0;
        while ((read = av_read_frame(format.get(), packet)) >= 0 && packet->stream_index != index)
            av_packet_unref(packet);
        avcodec_send_packet(codec.get(), read >= 0 ? packet : nullptr);
        av_packet_unref(packet);
    }
}

void YuyvConverter::convert(const AVFrame* picture)
{
    const int rowBytes = picture->width * 2;
    output.resize(size_t(rowBytes) * size_t(picture->height));
    scaler.reset(sws_getCachedContext(scaler.release(), picture->width, picture->height,
                                      AVPixelFormat(picture->format), picture->width, picture->height,
                                      AV_PIX_FMT_YUYV422, SWS_BICUBIC, nullptr, nullptr, nullptr));
    if (!scaler)
        throw std::runtime_error("no conversion to YUYV 4:2:2");
    const int* matrix = sws_getCoefficients(picture->colorspace == AVCOL_SPC_BT709 ? SWS_CS_ITU709 : SWS_CS_DEFAULT);
    const int fullRange = picture->color_range == AVCOL_RANGE_JPEG ? 1 : 0;
    sws_setColorspaceDetails(scaler.get(), matrix, fullRange, matrix, 0, 0, 1 << 16, 1 << 16);
    uint8_t* planes[4] = {output.data(), nullptr, nullptr, nullptr};
    int strides[4] = {rowBytes, 0, 0, 0};
    sws_scale(scaler.get(), picture->data, picture->linesize, 0, picture->height, planes, strides);
}

} // namespace Qel::Bench
