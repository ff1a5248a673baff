// What a host learns about a stream once it is open: its kind, its format
// and its property record, read through the stream interface.
#pragma once

#include <cstdint>
#include <string>

#include "streams/StreamInterface.h"

namespace Qel::Cli {

constexpr int32_t kVideoKind = 272;
constexpr int32_t kAudioKind = 288;

enum class PixelFormat { Argb, Uyvy, Yuy2, Yv12, Unknown };

struct StreamDescription {
    int32_t kind = 0;
    std::string kindName;     // "audio", "video" or "other"
    std::string formatText;   // "ARGB", "UYVY", "YUY2", "YV12"; "PCM16" for audio
    PixelFormat pixelFormat = PixelFormat::Unknown;
    int32_t width = 0;
    int32_t height = 0;
    int32_t sampleRate = 0;
    uint32_t channels = 0;
    uint32_t bitsPerSample = 0;
    uint32_t durationMs = 0;
};

// Reads the description of an open stream (the properties are filled by
// openStream).
StreamDescription describeStream(StreamInterface& stream);

PixelFormat pixelFormatFromText(const std::string& text);

// Bytes of one frame in the format (YV12: Y, then V and U at half the
// width and height); 0 for an unknown format.
size_t frameBytes(PixelFormat format, int32_t width, int32_t height);

} // namespace Qel::Cli
