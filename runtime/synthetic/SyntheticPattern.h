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
#include <vector>

#include "source/Downmix.h"
#include "source/PixelFormats.h"

namespace QelRuntime::SyntheticPattern {

// The formats and the downmix the pattern is written and heard through.
using namespace PixelFormats;
using namespace Downmix;

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

// The expected output channel of frame f of a single sound track.
inline int16_t expectedFrame(int64_t frame, int32_t sourceChannels, int32_t outputChannels,
                             bool stereoDownmix, int32_t output, int64_t phase = 0)
{
    int16_t values[8];
    for (int32_t c = 0; c < sourceChannels && c < 8; ++c)
        values[c] = pcmValue(frame, c, phase);
    return outputValue(values, sourceChannels, outputChannels, stereoDownmix, output);
}

} // namespace QelRuntime::SyntheticPattern
