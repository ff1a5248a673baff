#include "movie/StreamDescription.h"

#include <cstring>

#include "media/Properties.h"

namespace Qel::Cli {

namespace {

// A video stream's format words hold the pixel format's four characters in
// memory order, terminated by the zero byte of the second word.
std::string videoFormatText(const StreamFormat& format)
{
    char text[5] = {};
    std::memcpy(text, &format.code, 4);
    return std::string(text);
}

} // namespace

PixelFormat pixelFormatFromText(const std::string& text)
{
    if (text == "ARGB")
        return PixelFormat::Argb;
    if (text == "UYVY")
        return PixelFormat::Uyvy;
    if (text == "YUY2")
        return PixelFormat::Yuy2;
    if (text == "YV12")
        return PixelFormat::Yv12;
    return PixelFormat::Unknown;
}

size_t frameBytes(PixelFormat format, int32_t width, int32_t height)
{
    const size_t pixels = size_t(width) * size_t(height);
    switch (format) {
    case PixelFormat::Argb: return pixels * 4;
    case PixelFormat::Uyvy:
    case PixelFormat::Yuy2: return pixels * 2;
    case PixelFormat::Yv12: return pixels + 2 * size_t(width / 2) * size_t(height / 2);
    case PixelFormat::Unknown: break;
    }
    return 0;
}

StreamDescription describeStream(StreamInterface& stream)
{
    StreamDescription description;
    description.kind = stream.getKind();
    description.durationMs = stream.getDuration();
    const StreamFormat* format = stream.getFormat();
    Properties* properties = stream.getProperties();
    if (description.kind == kVideoKind) {
        description.kindName = "video";
        description.formatText = format ? videoFormatText(*format) : std::string();
        description.pixelFormat = pixelFormatFromText(description.formatText);
        if (auto* image = static_cast<ImageProperties*>(properties)) {
            description.width = image->width;
            description.height = image->height;
        }
    } else if (description.kind == kAudioKind) {
        description.kindName = "audio";
        description.formatText = "PCM16";
        if (auto* audio = static_cast<AudioProperties*>(properties)) {
            description.sampleRate = audio->sampleRate;
            description.channels = audio->channels;
            description.bitsPerSample = audio->bitsPerSample;
        }
    } else {
        description.kindName = "other";
    }
    return description;
}

} // namespace Qel::Cli
