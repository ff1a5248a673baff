// The content of synthetic movies: what every picture and every sound frame
// holds. The synthetic movie source makes its samples from these functions,
// and tests of any component include this header to compute what they must
// receive, so nobody re-derives the pattern. Header-only, no state.
//
// A picture of sample s is three components per pixel (Y, U, V) with the
// chroma constant over each 4 x 4 block, so every pixel format holds it
// without loss. ARGB and RGB carry the components as they are (R = Y,
// G = U, B = V); no colour conversion takes place.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "quicktime/QtTypes.h"

namespace Qel::SyntheticPattern {

constexpr QtOSType kYuy2 = fourCc('y', 'u', 'v', 's');
constexpr QtOSType kUyvy = fourCc('2', 'v', 'u', 'y');
constexpr QtOSType kYvu9 = fourCc('Y', 'V', 'U', '9');
constexpr QtOSType kRaw = fourCc('r', 'a', 'w', ' ');
constexpr QtOSType kArgb = 32;
constexpr uint8_t kRowPaddingByte = 0xEE;
constexpr uint8_t kAlpha = 0xFF;

inline uint8_t lumaAt(int32_t x, int32_t y, int32_t sample)
{
    return uint8_t(x + 3 * y + 29 * sample);
}

inline uint8_t chromaUAt(int32_t x, int32_t y, int32_t sample)
{
    return uint8_t(0x10 + 13 * sample + 2 * (x / 4));
}

inline uint8_t chromaVAt(int32_t x, int32_t y, int32_t sample)
{
    return uint8_t(0x80 + 7 * sample + 3 * (y / 4));
}

// The sample index modulo 256 from the luma byte of pixel (0, 0).
// 29 * 53 = 1537 = 6 * 256 + 1, so 53 is 29's inverse modulo 256.
inline int32_t sampleIndexFromLuma(uint8_t lumaAtOrigin)
{
    return (lumaAtOrigin * 53) & 0xFF;
}

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

// The expected picture of sample `sample` in `format` ('yuvs', '2vuy',
// 'YVU9', 32, or 'raw ' at `depth`), `rowBytes` per (luma) row.
inline std::vector<uint8_t> expectedPicture(QtOSType format, int32_t depth, int32_t width, int32_t height,
                                            int32_t rowBytes, int32_t sample)
{
    std::vector<uint8_t> bytes(size_t(pictureSize(format, height, rowBytes)), kRowPaddingByte);
    if (format == kYvu9) {
        Yvu9Layout layout = yvu9Layout(height, rowBytes);
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x)
                bytes[size_t(y * rowBytes + x)] = lumaAt(x, y, sample);
        for (int32_t by = 0; by < layout.chromaRows; ++by)
            for (int32_t bx = 0; bx < (width + 3) / 4; ++bx) {
                size_t at = size_t(by * layout.chromaRowBytes + bx);
                bytes[size_t(layout.vOffset) + at] = chromaVAt(4 * bx, 4 * by, sample);
                bytes[size_t(layout.uOffset) + at] = chromaUAt(4 * bx, 4 * by, sample);
            }
        return bytes;
    }
    for (int32_t y = 0; y < height; ++y) {
        uint8_t* row = bytes.data() + size_t(y) * size_t(rowBytes);
        for (int32_t x = 0; x < width; ++x)
            writePackedPixel(row, format, depth, x, lumaAt(x, y, sample), chromaUAt(x, y, sample),
                             chromaVAt(x, y, sample));
    }
    return bytes;
}

// Sound: frame f, channel c of a track whose signal is shifted by `phase`.
inline int16_t pcmValue(int64_t frame, int32_t channel, int64_t phase = 0)
{
    int64_t raw = ((frame + phase) * 3 + int64_t(channel) * 1021) % 16384;
    if (raw < 0)
        raw += 16384;
    return int16_t(raw - 8192);
}

// Weights (in 1/16384) of each source channel in the left and right output
// of the stereo downmix, by source channel count (3 to 8).
struct DownmixWeight {
    int32_t left;
    int32_t right;
};

constexpr int32_t kFull = 16384;
constexpr int32_t kMinus3dB = 11585;
constexpr int32_t kMinus6dB = 8192;

inline const DownmixWeight* downmixWeights(int32_t channels)
{
    static const DownmixWeight L{kFull, 0}, R{0, kFull}, C{kMinus3dB, kMinus3dB}, Lfe{0, 0},
        Ls{kMinus3dB, 0}, Rs{0, kMinus3dB}, Cs{kMinus6dB, kMinus6dB};
    static const DownmixWeight three[] = {L, R, C};
    static const DownmixWeight four[] = {L, R, Ls, Rs};
    static const DownmixWeight five[] = {L, R, C, Ls, Rs};
    static const DownmixWeight six[] = {L, R, C, Lfe, Ls, Rs};
    static const DownmixWeight seven[] = {L, R, C, Lfe, Cs, Ls, Rs};
    static const DownmixWeight eight[] = {L, R, C, Lfe, Ls, Rs, Ls, Rs};
    static const DownmixWeight* const tables[] = {three, four, five, six, seven, eight};
    return channels >= 3 && channels <= 8 ? tables[channels - 3] : nullptr;
}

// Integer division rounded half away from zero (denominator > 0).
inline int64_t divideRounded(int64_t numerator, int64_t denominator)
{
    int64_t half = denominator / 2;
    return numerator >= 0 ? (numerator + half) / denominator : -((-numerator + half) / denominator);
}

// One output (0 left, 1 right) of the stereo downmix of a frame of 3 to 8
// channels: a weighted mean, which never leaves the range of its inputs.
inline int16_t downmixStereo(const int16_t* frame, int32_t channels, int32_t output)
{
    const DownmixWeight* weights = downmixWeights(channels);
    int64_t sum = 0;
    int64_t weightSum = 0;
    for (int32_t c = 0; c < channels; ++c) {
        int32_t weight = output == 0 ? weights[c].left : weights[c].right;
        sum += int64_t(weight) * frame[c];
        weightSum += weight;
    }
    return int16_t(divideRounded(sum, weightSum));
}

// Output channel `output` of a frame of `sourceChannels` values delivered as
// `outputChannels` (1 or 2), with or without the stereo downmix selected.
inline int16_t outputValue(const int16_t* frame, int32_t sourceChannels, int32_t outputChannels,
                           bool stereoDownmix, int32_t output)
{
    auto stereo = [&](int32_t side) -> int16_t {
        if (sourceChannels == 1)
            return frame[0];
        if (sourceChannels > 2 && stereoDownmix)
            return downmixStereo(frame, sourceChannels, side);
        return frame[side];
    };
    if (outputChannels == sourceChannels)
        return frame[output];
    if (outputChannels == 2)
        return stereo(output);
    return int16_t(divideRounded(int64_t(stereo(0)) + stereo(1), 2));
}

// The expected output channel of frame f of a single sound track.
inline int16_t expectedFrame(int64_t frame, int32_t sourceChannels, int32_t outputChannels,
                             bool stereoDownmix, int32_t output, int64_t phase = 0)
{
    int16_t values[8];
    for (int32_t c = 0; c < sourceChannels && c < 8; ++c)
        values[c] = pcmValue(frame, c, phase);
    return outputValue(values, sourceChannels, outputChannels, stereoDownmix, output);
}

} // namespace Qel::SyntheticPattern
