#include "output/Y4mWriter.h"

#include "output/Picture.h"
#include "report/CommandError.h"

namespace Qel::Cli {

namespace {

// "F4294967295:4294967295", the widest rate field.
constexpr size_t kRateFieldWidth = 22;

// Whole pairs of a packed row into planes; LumaAt is 0 for YUY2, 1 for UYVY.
template <size_t LumaAt>
void splitPairs(const uint8_t* __restrict row, size_t pairs, uint8_t* __restrict luma, uint8_t* __restrict u,
                uint8_t* __restrict v)
{
    constexpr size_t uAt = 1 - LumaAt;
    for (size_t i = 0; i < pairs; ++i) {
        luma[2 * i] = row[4 * i + LumaAt];
        luma[2 * i + 1] = row[4 * i + 2 + LumaAt];
        u[i] = row[4 * i + uAt];
        v[i] = row[4 * i + uAt + 2];
    }
}

const char* chromaName(PixelFormat format)
{
    if (format == PixelFormat::Yuy2 || format == PixelFormat::Uyvy)
        return "C422";
    if (format == PixelFormat::Yv12)
        return "C420jpeg";
    throw CommandError(kExitFailed, "YUV4MPEG2 holds no frames of this pixel format");
}

} // namespace

Y4mWriter::Y4mWriter(const std::string& path, const OutputRules& rules, PixelFormat format, int32_t width,
                     int32_t height)
    : chromaTag(chromaName(format)), out(path, rules), format(format), width(width), height(height)
{
}

// The rate field is padded with spaces, which readers skip between fields,
// so that a rate learnt later fits in its place.
std::string Y4mWriter::header() const
{
    std::string rateField = "F" + std::to_string(rate.numerator) + ":" + std::to_string(rate.denominator);
    rateField.resize(kRateFieldWidth, ' ');
    return "YUV4MPEG2 W" + std::to_string(width) + " H" + std::to_string(height) + " " + rateField + " Ip A1:1 " +
           chromaTag + "\n";
}

void Y4mWriter::write(const uint8_t* frame, FrameRate firstRate)
{
    if (frameCount == 0) {
        rate = firstRate;
        const std::string start = header();
        out.write(start.data(), start.size());
    }
    out.write("FRAME\n", 6);
    if (format == PixelFormat::Yv12)
        writeYv12(frame);
    else
        writePacked422(frame);
    ++frameCount;
}

// Packed rows of pixel pairs: YUY2 is Y0 U Y1 V, UYVY is U Y0 V Y1. The
// whole pairs of a row are split in one loop the compiler vectorises; at
// an odd width the last pixel's half pair is read as the pictures read it.
void Y4mWriter::writePacked422(const uint8_t* frame)
{
    const size_t w = size_t(width);
    const size_t chromaWidth = (w + 1) / 2;
    const size_t pixels = w * size_t(height);
    const size_t chromaPixels = chromaWidth * size_t(height);
    planes.resize(pixels + 2 * chromaPixels);
    for (size_t y = 0; y < size_t(height); ++y) {
        const uint8_t* row = frame + y * w * 2;
        uint8_t* luma = planes.data() + y * w;
        uint8_t* u = planes.data() + pixels + y * chromaWidth;
        uint8_t* v = u + chromaPixels;
        if (format == PixelFormat::Yuy2)
            splitPairs<0>(row, w / 2, luma, u, v);
        else
            splitPairs<1>(row, w / 2, luma, u, v);
        if (w % 2 != 0) {
            const PackedChroma chroma = packedChromaAt(row, format, w, w - 1);
            luma[w - 1] = row[2 * (w - 1) + (format == PixelFormat::Yuy2 ? 0 : 1)];
            u[w / 2] = chroma.u;
            v[w / 2] = chroma.v;
        }
    }
    out.write(planes.data(), planes.size());
}

// YV12 keeps V before U; YUV4MPEG2 wants Cb (U) before Cr (V).
void Y4mWriter::writeYv12(const uint8_t* frame)
{
    const size_t luma = size_t(width) * size_t(height);
    const size_t chroma = size_t(width / 2) * size_t(height / 2);
    out.write(frame, luma);
    out.write(frame + luma + chroma, chroma);
    out.write(frame + luma, chroma);
}

void Y4mWriter::setRate(FrameRate learnt)
{
    rateChanged = rateChanged || learnt.numerator != rate.numerator || learnt.denominator != rate.denominator;
    rate = learnt;
}

void Y4mWriter::finish()
{
    if (rateChanged && frameCount > 0)
        out.rewriteStart(header());
    out.commit();
}

} // namespace Qel::Cli
