// Converts decoded pictures into a caller's surface with libswscale, using
// the source's colour matrix and range; the common conversions into packed
// 4:2:2 or ARGB of the same size take FfmpegPackedConversion's or
// FfmpegArgbConversion's faster way to the same bytes. One thread at a time.
#pragma once

#include "FfmpegArgbConversion.h"
#include "FfmpegLibraries.h"
#include "FfmpegPackedConversion.h"

#include "QuickTimeInterface.h"

#include <cstdint>
#include <vector>

namespace QelRuntime {

// Memory laid out in one of the runtime's surface pixel formats: 'yuvs'
// (Y0 U Y1 V), '2vuy' (U Y0 V Y1), 32 (A R G B bytes), or 'YVU9' (a luma
// plane of rowBytes per row, then the V and U planes at a quarter of the
// width and height, rowBytes / 4 per row).
struct FfmpegSurface {
    QtOSType pixelFormat;
    unsigned char* base;
    int32_t rowBytes;
    int width;
    int height;
};

// What a scaling context converts from and to.
struct ScaleSetting {
    int sourceWidth;
    int sourceHeight;
    AVPixelFormat sourceFormat;
    bool sourceFullRange;
    int targetWidth;
    int targetHeight;
    AVPixelFormat targetFormat;
    bool targetFullRange;

    bool operator==(const ScaleSetting& other) const
    {
        return sourceWidth == other.sourceWidth && sourceHeight == other.sourceHeight &&
               sourceFormat == other.sourceFormat && sourceFullRange == other.sourceFullRange &&
               targetWidth == other.targetWidth && targetHeight == other.targetHeight &&
               targetFormat == other.targetFormat && targetFullRange == other.targetFullRange;
    }
};

class FfmpegPictureConverter {
public:
    // vectors: the instruction set of the packed and ARGB conversions, the
    // widest the processor has unless a test or benchmark asks for another.
    explicit FfmpegPictureConverter(FfmpegVectors vectors = widestVectors()) : vectors_(vectors), packed_(vectors) {}

    static bool supports(QtOSType pixelFormat);

    // Scales when the surface's size differs from the picture's. False for a
    // pixel format that supports() refuses or a surface too small for it.
    bool convert(const AVFrame* picture, const FfmpegSurface& surface);

private:
    bool scale(const AVFrame* picture, const ScaleSetting& setting, uint8_t* const planes[4], const int strides[4]);
    bool convertOddPairs(const AVFrame* picture, const ScaleSetting& setting, const FfmpegSurface& surface);
    bool convertYvu9(const AVFrame* picture, const ScaleSetting& setting, const FfmpegSurface& surface);

    const FfmpegVectors vectors_;
    FfmpegPackedConversion packed_;
    ScaleContextPtr context_;
    ScaleSetting setting_{};  // of context_
    std::vector<uint8_t> wholePairs_;  // rows of an odd-width 4:2:2 surface, see convertOddPairs
    std::vector<uint8_t> chromaApart_;  // a 'YVU9' surface's U and V rows, see convertYvu9
};

} // namespace QelRuntime
