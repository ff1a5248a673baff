// Writes video frames as a YUV4MPEG2 stream: YUY2 and UYVY frames as planar
// 4:2:2 ("C422"), YV12 frames as planar 4:2:0 ("C420jpeg", planes reordered
// to Y, Cb, Cr). ARGB has no place in this format.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "movie/FrameTiming.h"
#include "movie/StreamDescription.h"
#include "output/OutputFile.h"

namespace Qel::Cli {

class Y4mWriter {
public:
    // Throws CommandError when the file may not or cannot be created or the
    // format has no YUV4MPEG2 form.
    Y4mWriter(const std::string& path, const OutputRules& rules, PixelFormat format, int32_t width,
              int32_t height);

    // Writes one frame of frameBytes(format, width, height) bytes; the
    // first one writes the header with the rate known so far.
    void write(const uint8_t* frame, FrameRate rate);
    // The rate learnt from all the frames: written over the header's when
    // the file is finished (the header keeps room for any rate). Standard
    // output keeps the first one.
    void setRate(FrameRate rate);
    // Commits the file; throws when writing failed.
    void finish();

    uint64_t frames() const { return frameCount; }
    std::string path() const { return out.name(); }

private:
    void writePacked422(const uint8_t* frame);
    void writeYv12(const uint8_t* frame);
    std::string header() const;

    const char* chromaTag;  // checked before the file is made
    OutputFile out;
    PixelFormat format;
    FrameRate rate{25, 1};
    bool rateChanged = false;
    int32_t width;
    int32_t height;
    std::vector<uint8_t> planes;
    uint64_t frameCount = 0;
};

} // namespace Qel::Cli
