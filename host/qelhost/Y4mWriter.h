// Writes video frames as a YUV4MPEG2 stream: YUY2 and UYVY frames as planar
// 4:2:2 ("C422"), YV12 frames as planar 4:2:0 ("C420jpeg", planes reordered
// to Y, Cb, Cr). ARGB has no place in this format.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "OutputFile.h"
#include "StreamDescription.h"

namespace Qel::Cli {

struct FrameRate {
    uint32_t numerator;
    uint32_t denominator;
};

// The stream reports only each frame's duration in whole milliseconds, so
// the rate is the usual one whose truncated frame duration matches (25 for
// 40 ms, 30 for 33 ms, 10 for 100 ms); otherwise 1000 / duration exactly.
FrameRate frameRateForDuration(uint32_t durationMs);

class Y4mWriter {
public:
    // Throws CommandError when the file may not or cannot be created or the
    // format has no YUV4MPEG2 form.
    Y4mWriter(const std::string& path, const OutputRules& rules, PixelFormat format, int32_t width,
              int32_t height);

    // Writes one frame of frameBytes(format, width, height) bytes; the
    // first one writes the header with the rate.
    void write(const uint8_t* frame, FrameRate rate);
    // Commits the file; throws when writing failed.
    void finish();

    uint64_t frames() const { return frameCount; }
    std::string path() const { return out.name(); }

private:
    void writePacked422(const uint8_t* frame);
    void writeYv12(const uint8_t* frame);

    const char* chromaTag;  // checked before the file is made
    OutputFile out;
    PixelFormat format;
    int32_t width;
    int32_t height;
    std::vector<uint8_t> planes;
    uint64_t frameCount = 0;
};

} // namespace Qel::Cli
