#include "FfmpegDecoderRefusal.h"

#include "FfmpegLibraries.h"
#include "FfmpegStatus.h"

#include <cstdio>
#include <string>

namespace QelRuntime {

namespace {

// FFmpeg's name for the codec; for a code FFmpeg does not know, the code as
// the file writes it ('abcd'), which is what a user can look up.
std::string codecName(const AVCodecParameters* parameters)
{
    if (parameters->codec_id != AV_CODEC_ID_NONE)
        return avcodec_get_name(parameters->codec_id);
    const uint32_t tag = parameters->codec_tag;
    if (tag == 0)
        return "(one FFmpeg does not name)";
    std::string code = "'";
    for (int shift = 0; shift < 32; shift += 8) {
        const char character = char((tag >> shift) & 0xFF);
        code += character >= 0x20 && character < 0x7F ? character : '?';
    }
    return code + "'";
}

const char* kindOf(const AVCodecParameters* parameters)
{
    switch (parameters->codec_type) {
    case AVMEDIA_TYPE_VIDEO: return "video";
    case AVMEDIA_TYPE_AUDIO: return "sound";
    default: return "data";
    }
}

} // namespace

QtStatus refuseUndecodableTrack(const FfmpegMovie& movie, size_t trackIndex, const AVStream* stream)
{
    const AVCodecParameters* parameters = stream->codecpar;
    const bool decoderExists = avcodec_find_decoder(parameters->codec_id) != nullptr;
    const std::string codec = codecName(parameters);
    const unsigned long track = static_cast<unsigned long>(trackIndex + 1);
    if (decoderExists)
        std::fprintf(stderr, "QuickTime.qts: %s: %s track %lu: the %s decoder refused it\n", movie.path().c_str(),
                     kindOf(parameters), track, codec.c_str());
    else
        std::fprintf(stderr, "QuickTime.qts: %s: %s track %lu: no decoder for its codec %s\n", movie.path().c_str(),
                     kindOf(parameters), track, codec.c_str());
    return decoderExists ? kFfmpegCodecError : kFfmpegNoCodec;
}

} // namespace QelRuntime
