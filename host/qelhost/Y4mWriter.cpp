#include "Y4mWriter.h"

#include "CommandError.h"

namespace Qel::Cli {

FrameRate frameRateForDuration(uint32_t durationMs)
{
    static const FrameRate usual[] = {{60, 1}, {50, 1}, {30, 1}, {25, 1}, {24, 1}, {15, 1},
                                      {12, 1}, {10, 1}, {5, 1},  {1, 1}};
    for (const FrameRate& rate : usual) {
        if (1000 * rate.denominator / rate.numerator == durationMs)
            return rate;
    }
    return durationMs == 0 ? FrameRate{25, 1} : FrameRate{1000, durationMs};
}

Y4mWriter::Y4mWriter(const std::string& path, PixelFormat format, int32_t width, int32_t height, FrameRate rate)
    : filePath(path), format(format), width(width), height(height)
{
    const char* chroma = nullptr;
    if (format == PixelFormat::Yuy2 || format == PixelFormat::Uyvy)
        chroma = "C422";
    else if (format == PixelFormat::Yv12)
        chroma = "C420jpeg";
    if (!chroma)
        throw CommandError(kExitFailed, "YUV4MPEG2 holds no frames of this pixel format");
    out.open(path, std::ios::binary | std::ios::trunc);
    if (!out)
        throw CommandError(kExitFailed, "cannot create " + path);
    out << "YUV4MPEG2 W" << width << " H" << height << " F" << rate.numerator << ":" << rate.denominator
        << " Ip A1:1 " << chroma << "\n";
}

void Y4mWriter::write(const uint8_t* frame)
{
    out << "FRAME\n";
    if (format == PixelFormat::Yv12)
        writeYv12(frame);
    else
        writePacked422(frame);
    ++frameCount;
}

// Packed rows of pixel pairs: YUY2 is Y0 U Y1 V, UYVY is U Y0 V Y1.
void Y4mWriter::writePacked422(const uint8_t* frame)
{
    const size_t w = size_t(width);
    const size_t chromaWidth = (w + 1) / 2;
    const size_t pixels = w * size_t(height);
    const size_t chromaPixels = chromaWidth * size_t(height);
    planes.assign(pixels + 2 * chromaPixels, 128);
    const int lumaAt = format == PixelFormat::Yuy2 ? 0 : 1;
    const int uAt = format == PixelFormat::Yuy2 ? 1 : 0;
    const int vAt = uAt + 2;
    for (size_t y = 0; y < size_t(height); ++y) {
        const uint8_t* row = frame + y * w * 2;
        for (size_t x = 0; x < w; ++x)
            planes[y * w + x] = row[2 * x + lumaAt];
        for (size_t pair = 0; 2 * pair + 1 < w; ++pair) {
            planes[pixels + y * chromaWidth + pair] = row[4 * pair + uAt];
            planes[pixels + chromaPixels + y * chromaWidth + pair] = row[4 * pair + vAt];
        }
    }
    out.write(reinterpret_cast<const char*>(planes.data()), std::streamsize(planes.size()));
}

// YV12 keeps V before U; YUV4MPEG2 wants Cb (U) before Cr (V).
void Y4mWriter::writeYv12(const uint8_t* frame)
{
    const size_t luma = size_t(width) * size_t(height);
    const size_t chroma = size_t(width / 2) * size_t(height / 2);
    out.write(reinterpret_cast<const char*>(frame), std::streamsize(luma));
    out.write(reinterpret_cast<const char*>(frame + luma + chroma), std::streamsize(chroma));
    out.write(reinterpret_cast<const char*>(frame + luma), std::streamsize(chroma));
}

void Y4mWriter::finish()
{
    out.close();
    if (out.fail())
        throw CommandError(kExitFailed, "cannot write " + filePath);
}

} // namespace Qel::Cli
