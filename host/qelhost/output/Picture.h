// Pictures for PNG output: a stream's frame turned into 8-bit RGB (or RGBA)
// pixels, and scaled.
//
// YUV frames are taken as limited range (16-235 luma, 16-240 chroma) and
// converted with the BT.601 matrix for standard definition or the BT.709
// matrix for high definition; chroma is taken from the nearest sample.
#pragma once

#include <cstdint>
#include <vector>

#include "movie/StreamDescription.h"

namespace Qel::Cli {

struct Picture {
    int32_t width = 0;
    int32_t height = 0;
    int32_t channels = 3;         // 3: RGB, 4: RGBA
    std::vector<uint8_t> pixels;  // rows top to bottom, no padding

    Picture() = default;
    Picture(int32_t width, int32_t height, int32_t channels, uint8_t fill = 0)
        : width(width), height(height), channels(channels),
          pixels(size_t(width) * size_t(height) * size_t(channels), fill)
    {
    }
    uint8_t* at(int32_t x, int32_t y) { return pixels.data() + (size_t(y) * size_t(width) + size_t(x)) * channels; }
    const uint8_t* at(int32_t x, int32_t y) const
    {
        return pixels.data() + (size_t(y) * size_t(width) + size_t(x)) * channels;
    }
};

struct PackedChroma {
    uint8_t u;
    uint8_t v;
};

// The chroma of pixel x of a YUY2 or UYVY row of width pixels (Y0 U Y1 V or
// U Y0 V Y1 per pair). At an odd width the row ends in half a pair: the
// last pixel's luma and its own Cb, with no byte for its Cr, which is taken
// from the pair beside it (neutral when there is none), the nearest
// estimate rather than grey.
PackedChroma packedChromaAt(const uint8_t* row, PixelFormat format, size_t width, size_t x);

enum class ColourMatrix { Bt601, Bt709 };

// BT.709 from 1280 pixels wide or 720 lines high on, BT.601 below.
ColourMatrix matrixForSize(int32_t width, int32_t height);

// One limited-range Y'CbCr sample in 8-bit RGB, rounded and clamped.
void yuvToRgb(ColourMatrix matrix, uint8_t y, uint8_t u, uint8_t v, uint8_t rgb[3]);

// A frame of frameBytes(format, width, height) bytes as RGB; ARGB keeps
// its alpha (RGBA) when keepAlpha is set.
Picture frameToPicture(const uint8_t* frame, PixelFormat format, int32_t width, int32_t height, bool keepAlpha);

// The picture at a new size, each target pixel the mean of the source
// pixels it covers (or the nearest one when enlarging).
Picture scalePicture(const Picture& source, int32_t width, int32_t height);

} // namespace Qel::Cli
