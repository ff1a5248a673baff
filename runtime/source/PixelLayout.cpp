#include "source/PixelLayout.h"

#include "source/PixelFormats.h"

namespace QelRuntime {

using namespace PixelFormats;

bool isRawFormat(QtOSType format)
{
    return format == kYuy2 || format == kUyvy || format == kYvu9 || format == kArgb || format == kRaw;
}

bool isSurfaceFormat(QtOSType format)
{
    return format == kYuy2 || format == kUyvy || format == kYvu9 || format == kArgb;
}

int32_t minimumRowBytes(QtOSType format, int32_t depth, int32_t width)
{
    return width * bytesPerPixel(format, depth);
}

Yuv readPixel(const uint8_t* base, const PictureLayout& layout, int32_t x, int32_t y)
{
    if (layout.format == kYvu9) {
        Yvu9Layout planes = yvu9Layout(layout.height, layout.rowBytes);
        int32_t chroma = (y / 4) * planes.chromaRowBytes + x / 4;
        return {base[y * layout.rowBytes + x], base[planes.uOffset + chroma], base[planes.vOffset + chroma]};
    }
    const uint8_t* row = base + size_t(y) * size_t(layout.rowBytes);
    switch (bytesPerPixel(layout.format, layout.depth)) {
    case 2: {
        const uint8_t* pair = row + 4 * (x / 2);
        if (layout.format == kYuy2)
            return {row[2 * x], pair[1], pair[3]};
        return {row[2 * x + 1], pair[0], pair[2]};
    }
    case 3:
        return {row[3 * x], row[3 * x + 1], row[3 * x + 2]};
    default:
        return {row[4 * x + 1], row[4 * x + 2], row[4 * x + 3]};
    }
}

void writePixel(const SurfaceView& surface, int32_t x, int32_t y, Yuv value)
{
    if (surface.format == kYvu9) {
        surface.base[size_t(y) * size_t(surface.rowBytes) + size_t(x)] = value.y;
        if (x % 4 == 0 && y % 4 == 0) {
            Yvu9Layout planes = yvu9Layout(surface.height, surface.rowBytes);
            int32_t chroma = (y / 4) * planes.chromaRowBytes + x / 4;
            surface.base[planes.vOffset + chroma] = value.v;
            surface.base[planes.uOffset + chroma] = value.u;
        }
        return;
    }
    uint8_t* row = surface.base + size_t(y) * size_t(surface.rowBytes);
    writePackedPixel(row, surface.format, surface.format == kArgb ? 32 : 24, x, value.y, value.u, value.v);
}

} // namespace QelRuntime
