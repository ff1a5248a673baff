#include "output/Picture.h"

#include <algorithm>
#include <cmath>

namespace Qel::Cli {

namespace {

struct Coefficients {
    double rFromV;
    double gFromU;
    double gFromV;
    double bFromU;
};

constexpr double kLumaScale = 255.0 / 219.0;
constexpr Coefficients kBt601 = {1.596027, -0.391762, -0.812968, 2.017232};
constexpr Coefficients kBt709 = {1.792741, -0.213249, -0.532909, 2.112402};

uint8_t clampByte(double value)
{
    return uint8_t(std::clamp(std::lround(value), 0L, 255L));
}

struct YuvSample {
    uint8_t y;
    uint8_t u;
    uint8_t v;
};

YuvSample sampleAt(const uint8_t* frame, PixelFormat format, int32_t width, int32_t height, int32_t x, int32_t y)
{
    const size_t w = size_t(width);
    if (format == PixelFormat::Yv12) {
        const size_t luma = w * size_t(height);
        const size_t chromaWidth = size_t(width / 2);
        const size_t chroma = chromaWidth * size_t(height / 2);
        const size_t cx = std::min(size_t(x / 2), chromaWidth ? chromaWidth - 1 : 0);
        const size_t cy = std::min(size_t(y / 2), size_t(std::max(height / 2 - 1, 0)));
        const size_t at = cy * chromaWidth + cx;
        return {frame[size_t(y) * w + size_t(x)], frame[luma + chroma + at], frame[luma + at]};
    }
    const uint8_t* row = frame + size_t(y) * w * 2;
    const PackedChroma chroma = packedChromaAt(row, format, w, size_t(x));
    return {row[2 * size_t(x) + (format == PixelFormat::Yuy2 ? 0 : 1)], chroma.u, chroma.v};
}

} // namespace

PackedChroma packedChromaAt(const uint8_t* row, PixelFormat format, size_t width, size_t x)
{
    const size_t pair = x / 2;
    const size_t uAt = 4 * pair + (format == PixelFormat::Yuy2 ? 1 : 0);
    if (2 * pair + 1 < width)
        return {row[uAt], row[uAt + 2]};
    return {row[uAt], pair > 0 ? row[uAt - 2] : uint8_t(128)};
}

ColourMatrix matrixForSize(int32_t width, int32_t height)
{
    return width >= 1280 || height >= 720 ? ColourMatrix::Bt709 : ColourMatrix::Bt601;
}

void yuvToRgb(ColourMatrix matrix, uint8_t y, uint8_t u, uint8_t v, uint8_t rgb[3])
{
    const Coefficients& c = matrix == ColourMatrix::Bt709 ? kBt709 : kBt601;
    const double luma = kLumaScale * (int(y) - 16);
    const double cb = int(u) - 128;
    const double cr = int(v) - 128;
    rgb[0] = clampByte(luma + c.rFromV * cr);
    rgb[1] = clampByte(luma + c.gFromU * cb + c.gFromV * cr);
    rgb[2] = clampByte(luma + c.bFromU * cb);
}

Picture frameToPicture(const uint8_t* frame, PixelFormat format, int32_t width, int32_t height, bool keepAlpha)
{
    if (format == PixelFormat::Argb) {
        Picture picture(width, height, keepAlpha ? 4 : 3);
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x) {
                const uint8_t* argb = frame + (size_t(y) * size_t(width) + size_t(x)) * 4;
                uint8_t* out = picture.at(x, y);
                std::copy(argb + 1, argb + 4, out);
                if (keepAlpha)
                    out[3] = argb[0];
            }
        return picture;
    }
    Picture picture(width, height, 3);
    const ColourMatrix matrix = matrixForSize(width, height);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            const YuvSample s = sampleAt(frame, format, width, height, x, y);
            yuvToRgb(matrix, s.y, s.u, s.v, picture.at(x, y));
        }
    return picture;
}

Picture scalePicture(const Picture& source, int32_t width, int32_t height)
{
    Picture target(width, height, source.channels);
    if (source.width <= 0 || source.height <= 0)
        return target;
    for (int32_t ty = 0; ty < height; ++ty) {
        const int32_t y0 = int32_t(int64_t(ty) * source.height / height);
        const int32_t y1 = std::max(y0 + 1, int32_t(int64_t(ty + 1) * source.height / height));
        for (int32_t tx = 0; tx < width; ++tx) {
            const int32_t x0 = int32_t(int64_t(tx) * source.width / width);
            const int32_t x1 = std::max(x0 + 1, int32_t(int64_t(tx + 1) * source.width / width));
            uint32_t sums[4] = {};
            for (int32_t y = y0; y < y1; ++y)
                for (int32_t x = x0; x < x1; ++x)
                    for (int32_t c = 0; c < source.channels; ++c)
                        sums[c] += source.at(x, y)[c];
            const uint32_t count = uint32_t((y1 - y0) * (x1 - x0));
            for (int32_t c = 0; c < source.channels; ++c)
                target.at(tx, ty)[c] = uint8_t((sums[c] + count / 2) / count);
        }
    }
    return target;
}

} // namespace Qel::Cli
