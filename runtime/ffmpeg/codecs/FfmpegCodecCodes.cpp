#include "codecs/FfmpegCodecCodes.h"

#include "FfmpegLibraries.h"

#include <iterator>

namespace QelRuntime {

namespace {

struct CodecCode {
    AVCodecID codec;
    QtOSType code;
};

// Preferred codes where QuickTime's own movie files have several.
constexpr CodecCode kVideoCodes[] = {
    {AV_CODEC_ID_H264, fourCc('a', 'v', 'c', '1')},  {AV_CODEC_ID_HEVC, fourCc('h', 'v', 'c', '1')},
    {AV_CODEC_ID_MPEG4, fourCc('m', 'p', '4', 'v')}, {AV_CODEC_ID_MJPEG, fourCc('j', 'p', 'e', 'g')},
    {AV_CODEC_ID_MJPEGB, fourCc('m', 'j', 'p', 'b')}, {AV_CODEC_ID_MPEG1VIDEO, fourCc('m', 'p', '1', 'v')},
    {AV_CODEC_ID_MPEG2VIDEO, fourCc('m', 'p', '2', 'v')}, {AV_CODEC_ID_H263, fourCc('h', '2', '6', '3')},
    {AV_CODEC_ID_SVQ1, fourCc('S', 'V', 'Q', '1')},  {AV_CODEC_ID_SVQ3, fourCc('S', 'V', 'Q', '3')},
    {AV_CODEC_ID_CINEPAK, fourCc('c', 'v', 'i', 'd')}, {AV_CODEC_ID_VP8, fourCc('V', 'P', '8', '0')},
    {AV_CODEC_ID_VP9, fourCc('v', 'p', '0', '9')},   {AV_CODEC_ID_AV1, fourCc('a', 'v', '0', '1')},
    {AV_CODEC_ID_PNG, fourCc('p', 'n', 'g', ' ')},   {AV_CODEC_ID_QTRLE, fourCc('r', 'l', 'e', ' ')},
    {AV_CODEC_ID_DVVIDEO, fourCc('d', 'v', 'c', ' ')}, {AV_CODEC_ID_MSMPEG4V3, fourCc('D', 'I', 'V', '3')},
};

constexpr QtOSType kProResCodes[] = {fourCc('a', 'p', 'c', 'o'), fourCc('a', 'p', 'c', 's'),
                                     fourCc('a', 'p', 'c', 'n'), fourCc('a', 'p', 'c', 'h'),
                                     fourCc('a', 'p', '4', 'h'), fourCc('a', 'p', '4', 'x')};

constexpr CodecCode kSoundCodes[] = {
    {AV_CODEC_ID_AAC, fourCc('m', 'p', '4', 'a')},      {AV_CODEC_ID_MP3, fourCc('.', 'm', 'p', '3')},
    {AV_CODEC_ID_MP2, fourCc('.', 'm', 'p', '2')},      {AV_CODEC_ID_MP1, fourCc('.', 'm', 'p', '1')},
    {AV_CODEC_ID_PCM_S16LE, fourCc('s', 'o', 'w', 't')}, {AV_CODEC_ID_PCM_S16BE, fourCc('t', 'w', 'o', 's')},
    {AV_CODEC_ID_PCM_U8, fourCc('r', 'a', 'w', ' ')},   {AV_CODEC_ID_AC3, fourCc('a', 'c', '-', '3')},
    {AV_CODEC_ID_ALAC, fourCc('a', 'l', 'a', 'c')},     {AV_CODEC_ID_PCM_S24LE, fourCc('i', 'n', '2', '4')},
};

// FFmpeg keeps tags as they sit in a little-endian word; QuickTime's codes
// have the first character in the top byte.
QtOSType fromFfmpegTag(uint32_t tag)
{
    return ((tag & 0xFF) << 24) | ((tag & 0xFF00) << 8) | ((tag >> 8) & 0xFF00) | (tag >> 24);
}

template <size_t N>
QtOSType lookUp(const CodecCode (&table)[N], AVCodecID codec)
{
    for (const CodecCode& entry : table) {
        if (entry.codec == codec)
            return entry.code;
    }
    return 0;
}

QtOSType movTagOf(const AVCodecTag* const* tables, AVCodecID codec)
{
    unsigned int tag = 0;
    return av_codec_get_tag2(tables, codec, &tag) ? fromFfmpegTag(tag) : 0;
}

bool isMotionJpegVariant(QtOSType tag)
{
    return tag == fourCc('m', 'j', 'p', 'a') || tag == fourCc('j', 'p', 'e', 'g');
}

VideoCode rawVideoCode(const AVCodecParameters* parameters)
{
    switch (parameters->format) {
    case AV_PIX_FMT_YUYV422:
        // QuickTime's 'yuv2' holds its chroma signed, which FFmpeg's decoder
        // turns unsigned: such pictures must be decoded.
        if (parameters->codec_tag == MKTAG('y', 'u', 'v', '2'))
            return {fourCc('y', 'u', 'v', '2'), 24};
        return {fourCc('y', 'u', 'v', 's'), 24};
    case AV_PIX_FMT_UYVY422:
        return {fourCc('2', 'v', 'u', 'y'), 24};
    case AV_PIX_FMT_ARGB:
        return {fourCc('r', 'a', 'w', ' '), 32};
    case AV_PIX_FMT_RGB24:
        return {fourCc('r', 'a', 'w', ' '), 24};
    default:
        // Other layouts (bottom-up BGR, planar YUV, ...) must be decoded: a
        // code of their own keeps them out of the plug-in's direct mode.
        return {fourCc('r', 'a', 'w', 'v'), int16_t(parameters->bits_per_coded_sample ? parameters->bits_per_coded_sample : 24)};
    }
}

bool hasAlpha(int pixelFormat)
{
    const AVPixFmtDescriptor* descriptor = av_pix_fmt_desc_get(AVPixelFormat(pixelFormat));
    return descriptor && (descriptor->flags & AV_PIX_FMT_FLAG_ALPHA);
}

} // namespace

QtOSType mediaTypeOf(const AVStream* stream, bool inMpegSystemStream)
{
    const AVCodecParameters* parameters = stream->codecpar;
    switch (parameters->codec_type) {
    case AVMEDIA_TYPE_VIDEO: {
        if (stream->disposition & AV_DISPOSITION_ATTACHED_PIC)
            return fourCc('p', 'i', 'c', 't');
        const bool mpegVideo = parameters->codec_id == AV_CODEC_ID_MPEG1VIDEO ||
                               parameters->codec_id == AV_CODEC_ID_MPEG2VIDEO;
        return mpegVideo && inMpegSystemStream ? kMpegVideoMediaType : kVideoMediaType;
    }
    case AVMEDIA_TYPE_AUDIO:
        return kSoundMediaType;
    case AVMEDIA_TYPE_SUBTITLE:
        return kTextMediaType;
    case AVMEDIA_TYPE_DATA:
        return parameters->codec_id == AV_CODEC_ID_TIMED_ID3 ? fourCc('m', 'e', 't', 'a')
               : parameters->codec_tag == MKTAG('t', 'm', 'c', 'd') ? fourCc('t', 'm', 'c', 'd')
                                                                    : fourCc('m', 'e', 't', 'a');
    default:
        return fourCc('u', 'n', 'k', 'n');
    }
}

VideoCode videoCodeOf(const AVStream* stream)
{
    const AVCodecParameters* parameters = stream->codecpar;
    const int16_t depth = hasAlpha(parameters->format) ? 32 : 24;
    const QtOSType containerTag = fromFfmpegTag(parameters->codec_tag);
    switch (parameters->codec_id) {
    case AV_CODEC_ID_RAWVIDEO:
        return rawVideoCode(parameters);
    case AV_CODEC_ID_MJPEG:
        return {isMotionJpegVariant(containerTag) ? containerTag : fourCc('j', 'p', 'e', 'g'), depth};
    case AV_CODEC_ID_PRORES:
        if (parameters->profile >= 0 && parameters->profile < int(std::size(kProResCodes)))
            return {kProResCodes[parameters->profile], depth};
        return {fourCc('a', 'p', 'c', 'n'), depth};
    default:
        break;
    }
    if (QtOSType code = lookUp(kVideoCodes, parameters->codec_id))
        return {code, depth};
    const AVCodecTag* const movTags[] = {avformat_get_mov_video_tags(), nullptr};
    if (QtOSType code = movTagOf(movTags, parameters->codec_id))
        return {code, depth};
    return {containerTag ? containerTag : fourCc('u', 'n', 'k', 'n'), depth};
}

QtOSType soundCodeOf(const AVStream* stream)
{
    const AVCodecParameters* parameters = stream->codecpar;
    if (QtOSType code = lookUp(kSoundCodes, parameters->codec_id))
        return code;
    const AVCodecTag* const movTags[] = {avformat_get_mov_audio_tags(), nullptr};
    if (QtOSType code = movTagOf(movTags, parameters->codec_id))
        return code;
    return parameters->codec_tag ? fromFfmpegTag(parameters->codec_tag) : fourCc('u', 'n', 'k', 'n');
}

} // namespace QelRuntime
