// The byte layouts of the runtime's picture formats in memory: packed
// 'yuvs' and '2vuy' (two bytes a pixel, chroma shared by pairs), 32 (ARGB),
// 'raw ' at depth 24 (RGB) or 32 (ARGB), and planar 'YVU9'. Every movie
// source, the picture operations and the tests agree on them here.
#pragma once

#include <cstdint>

#include "QuickTimeInterface.h"

namespace QelRuntime::PixelFormats {

constexpr QtOSType kYuy2 = fourCc('y', 'u', 'v', 's');
constexpr QtOSType kUyvy = fourCc('2', 'v', 'u', 'y');
constexpr QtOSType kYvu9 = fourCc('Y', 'V', 'U', '9');
constexpr QtOSType kRaw = fourCc('r', 'a', 'w', ' ');
constexpr QtOSType kArgb = 32;
// Padding bytes at the ends of rows, and the alpha of ARGB pixels.
constexpr uint8_t kRowPaddingByte = 0xEE;
constexpr uint8_t kAlpha = 0xFF;

// Bytes per pixel of a packed format ('raw ' at the given depth); 1 for the
// luma plane of 'YVU9'.
inline int32_t bytesPerPixel(QtOSType format, int32_t depth = 24)
{
    switch (format) {
    case kYuy2:
    case kUyvy:
        return 2;
    case kArgb:
        return 4;
    case kRaw:
        return depth == 32 ? 4 : 3;
    default:
        return 1;
    }
}

// 'YVU9' planes for a luma row bytes R: luma height rows of R bytes, then V,
// then U, each height/4 rows (rounded up) of ceil(R / 4) bytes.
struct Yvu9Layout {
    int32_t chromaRowBytes;
    int32_t chromaRows;
    int32_t vOffset;
    int32_t uOffset;
    int32_t size;
};

inline Yvu9Layout yvu9Layout(int32_t height, int32_t rowBytes)
{
    Yvu9Layout layout{};
    layout.chromaRowBytes = (rowBytes + 3) / 4;
    layout.chromaRows = (height + 3) / 4;
    layout.vOffset = height * rowBytes;
    layout.uOffset = layout.vOffset + layout.chromaRows * layout.chromaRowBytes;
    layout.size = layout.uOffset + layout.chromaRows * layout.chromaRowBytes;
    return layout;
}

// Bytes of one picture of width x height in `format` with `rowBytes` per
// (luma) row; padding bytes are kRowPaddingByte.
inline int32_t pictureSize(QtOSType format, int32_t height, int32_t rowBytes)
{
    if (format == kYvu9)
        return yvu9Layout(height, rowBytes).size;
    return height * rowBytes;
}

// Writes the four bytes of pixel x of a packed row (2, 3 or 4 of them).
inline void writePackedPixel(uint8_t* row, QtOSType format, int32_t depth, int32_t x, uint8_t y,
                             uint8_t u, uint8_t v)
{
    switch (bytesPerPixel(format, depth)) {
    case 2: {
        uint8_t chroma = (x % 2 == 0) ? u : v;
        row[2 * x] = format == kYuy2 ? y : chroma;
        row[2 * x + 1] = format == kYuy2 ? chroma : y;
        break;
    }
    case 3:
        row[3 * x] = y;
        row[3 * x + 1] = u;
        row[3 * x + 2] = v;
        break;
    default:
        row[4 * x] = kAlpha;
        row[4 * x + 1] = y;
        row[4 * x + 2] = u;
        row[4 * x + 3] = v;
        break;
    }
}

} // namespace QelRuntime::PixelFormats
