// Pixels of the runtime's picture formats in memory: reading the (Y, U, V)
// components of a pixel from a raw picture and writing them into a surface.
// Formats: 'yuvs', '2vuy', 32 (ARGB), 'raw ' at depth 24 (RGB) or 32 (ARGB),
// and planar 'YVU9'; the byte layouts are those of PixelFormats.h.
#pragma once

#include <cstdint>

#include "source/MovieSource.h"
#include "QuickTimeInterface.h"

namespace QelRuntime {

struct Yuv {
    uint8_t y;
    uint8_t u;
    uint8_t v;
};

struct PictureLayout {
    QtOSType format = 0;
    int32_t depth = 24;
    int32_t width = 0;
    int32_t height = 0;
    int32_t rowBytes = 0;  // of the luma plane for 'YVU9'
};

// Whether samples of this compression type hold their picture as it is.
bool isRawFormat(QtOSType format);

// Whether a surface can be made in this pixel format.
bool isSurfaceFormat(QtOSType format);

// The smallest row bytes that hold a row of `width` pixels.
int32_t minimumRowBytes(QtOSType format, int32_t depth, int32_t width);

// The components of pixel (x, y); 4:2:2 and 4:1:0 chroma come from the
// pixel's pair or block.
Yuv readPixel(const uint8_t* base, const PictureLayout& layout, int32_t x, int32_t y);

// Writes pixel (x, y) of a surface; planar chroma is written by the pixel
// at the top left of its 4 x 4 block.
void writePixel(const SurfaceView& surface, int32_t x, int32_t y, Yuv value);

} // namespace QelRuntime
