#include "FfmpegArgbConversion.h"

#include <algorithm>

namespace QelRuntime {

namespace {

// libswscale's yuv2rgb tables at neutral brightness, contrast and
// saturation: a luma step is lumaScale / 65536 of an output step, and a
// chroma sample moves each channel by (sample x scale) >> 16 luma steps,
// less an offset of scale >> 9 (the steps of a sample of 128, rounded).
struct ArgbCoefficients {
    int32_t lumaScale;  // 76309 in video range, 65536 in full range
    int32_t bias;       // K, with the luma's black level and the rounding
    int64_t red;        // by V
    int64_t greenU;
    int64_t greenV;
    int64_t blue;       // by U
};

ArgbCoefficients coefficientsOf(const int matrix[4], bool fullRange)
{
    int64_t scales[4] = {matrix[0], -int64_t(matrix[2]), -int64_t(matrix[3]), matrix[1]};
    int64_t lumaScale = 1 << 16;
    int64_t lumaOffset = 0;
    if (fullRange) {
        for (int64_t& scale : scales)
            scale = scale * 224 / 255;
    } else {
        lumaScale = lumaScale * 255 / 219;
        lumaOffset = 16 << 16;
    }
    for (int64_t& scale : scales)
        scale = (scale * 65536 + 0x8000) / lumaScale;
    const int64_t firstStep = fullRange ? 384 : 326;
    const int32_t bias = int32_t(-(384 << 16) - lumaOffset + firstStep * lumaScale + 0x8000);
    return {int32_t(lumaScale), bias, scales[0], scales[1], scales[2], scales[3]};
}

int chromaSteps(int64_t scale, int sample)
{
    return int((sample * scale) >> 16) - int(scale >> 9);
}

uint8_t channel(const ArgbCoefficients& k, int luma, int steps)
{
    return uint8_t(std::clamp((k.bias + (luma + steps) * k.lumaScale) >> 16, 0, 255));
}

void convertPixel(const ArgbCoefficients& k, int luma, int cu, int cv, uint8_t* out)
{
    out[1] = channel(k, luma, chromaSteps(k.red, cv));
    out[2] = channel(k, luma, chromaSteps(k.greenU, cu) + chromaSteps(k.greenV, cv));
    out[3] = channel(k, luma, chromaSteps(k.blue, cu));
}

// One row one pixel at a time, for rows narrower than a block of the vectors.
void convertRowInOnePass(const ArgbCoefficients& k, const uint8_t* luma, const uint8_t* u, const uint8_t* v, int width,
                         uint8_t* out)
{
    for (int x = 0; x < width; ++x) {
        out[4 * x] = 255;
        convertPixel(k, luma[x], u[x / 2], v[x / 2], out + 4 * x);
    }
}

// The constants of the same sums in 16-bit lanes (FfmpegArgbRowKernel.h).
// A chroma scale s is m x 65536 + r with r in [0, 65536), so that
// (sample x s) >> 16 is sample x m plus the unsigned high half of sample x r.
// lumaScale is 65536 + c with c of 10773 or 0, and K is split as
// Kh x 65536 + Kl with Kl in [-32768, 32768).
FfmpegArgbConstants vectorConstantsOf(const ArgbCoefficients& k)
{
    FfmpegArgbConstants constants{};
    const int64_t scales[4] = {k.red, k.greenU, k.greenV, k.blue};
    for (int part = 0; part < 4; ++part) {
        constants.chromaWhole[part] = int16_t(scales[part] >> 16);
        constants.chromaFraction[part] = uint16_t(scales[part]);
        constants.chromaOffset[part] = int16_t(-(scales[part] >> 9));
    }
    const int16_t lowBias = int16_t(k.bias);
    constants.lumaFractionAndLowBias =
        int32_t(uint32_t(uint16_t(k.lumaScale - 65536)) | uint32_t(uint16_t(lowBias)) << 16);
    constants.highBias = int16_t((k.bias - lowBias) >> 16);
    return constants;
}

} // namespace

bool convertToArgb(const AVFrame* picture, bool fullRange, const int matrix[4], FfmpegVectors vectors, uint8_t* base,
                   int32_t rowBytes)
{
    const auto format = AVPixelFormat(picture->format);
    if ((format != AV_PIX_FMT_YUV420P && format != AV_PIX_FMT_YUVJ420P) || picture->width % 2 != 0 ||
        picture->height % 2 != 0 || rowBytes < picture->width * 4)
        return false;
    const ArgbCoefficients coefficients = coefficientsOf(matrix, fullRange);
    const FfmpegArgbConstants constants = vectorConstantsOf(coefficients);
    for (int y = 0; y < picture->height; y += 2) {
        const FfmpegArgbRowPair rows{{picture->data[0] + ptrdiff_t(y) * picture->linesize[0],
                                      picture->data[0] + ptrdiff_t(y + 1) * picture->linesize[0]},
                                     picture->data[1] + ptrdiff_t(y / 2) * picture->linesize[1],
                                     picture->data[2] + ptrdiff_t(y / 2) * picture->linesize[2],
                                     picture->width,
                                     {base + ptrdiff_t(y) * rowBytes, base + ptrdiff_t(y + 1) * rowBytes}};
        if (convertArgbRowPair(vectors, constants, rows))
            continue;
        for (int row = 0; row < 2; ++row)
            convertRowInOnePass(coefficients, rows.luma[row], rows.u, rows.v, rows.width, rows.out[row]);
    }
    return true;
}

void writeLastArgbColumn(const AVFrame* picture, bool fullRange, const int matrix[4], uint8_t* base, int32_t rowBytes)
{
    const auto format = AVPixelFormat(picture->format);
    const bool halfHeightChroma =
        format == AV_PIX_FMT_YUV420P || format == AV_PIX_FMT_YUVJ420P || format == AV_PIX_FMT_YUVA420P;
    const bool fullHeightChroma = format == AV_PIX_FMT_YUV422P || format == AV_PIX_FMT_YUVJ422P;
    if (picture->width % 2 == 0 || picture->height % 2 != 0 || !(halfHeightChroma || fullHeightChroma))
        return;
    const ArgbCoefficients coefficients = coefficientsOf(matrix, fullRange);
    const int x = picture->width - 1;
    for (int y = 0; y < picture->height; ++y) {
        // libswscale converts rows in pairs, each pair with one chroma row:
        // from 4:2:2, the first row's.
        const int chromaRow = halfHeightChroma ? y / 2 : y - y % 2;
        uint8_t* out = base + ptrdiff_t(y) * rowBytes + 4 * x;
        out[0] = format == AV_PIX_FMT_YUVA420P ? picture->data[3][ptrdiff_t(y) * picture->linesize[3] + x] : 255;
        convertPixel(coefficients, picture->data[0][ptrdiff_t(y) * picture->linesize[0] + x],
                     picture->data[1][ptrdiff_t(chromaRow) * picture->linesize[1] + x / 2],
                     picture->data[2][ptrdiff_t(chromaRow) * picture->linesize[2] + x / 2], out);
    }
}

} // namespace QelRuntime
