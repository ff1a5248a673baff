// Converts 8-bit planar YUV pictures (4:2:0 and 4:2:2, video range) into
// packed 4:2:2 surfaces ('yuvs' and '2vuy') of the same size, byte for byte
// as the libswscale conversion of FfmpegPictureConverter makes them, in
// vector code (FfmpegPackedRows.h): close to the speed of a copy, where
// libswscale's general scaler takes several times as long.
//
// What libswscale does there, and so what this reproduces:
// - 4:2:2 pictures are interleaved as they are (its unscaled converter);
// - 4:2:0 pictures go through its scaler: luma passes unchanged, and each
//   output row's chroma is a bicubic filter over the chroma rows around it
//   (FfmpegChromaRowFilter.h). Rows of 'yuvs' are summed by its MMX output
//   code (each tap rounded down to 1/8 of a step before the sum), except the
//   last two rows and every row of '2vuy', which its C code sums exactly.
// Anything else (another layout or depth, full range, odd widths, heights
// whose filter libswscale shortens) is left to the caller. One thread at a time.
#pragma once

#include "FfmpegChromaRowFilter.h"
#include "FfmpegLibraries.h"
#include "FfmpegPackedRows.h"

#include <cstdint>
#include <vector>

namespace QelRuntime {

class FfmpegPackedConversion {
public:
    explicit FfmpegPackedConversion(FfmpegVectors vectors = widestVectors()) : vectors_(vectors) {}

    // True when the picture was converted into the packed rows at base, one
    // every rowBytes; false when this conversion does not apply.
    bool convert(const AVFrame* picture, bool fullRange, AVPixelFormat target, uint8_t* base, int32_t rowBytes);

private:
    bool prepareFilter(int pictureHeight);
    FfmpegPackedRow rowOf420(const AVFrame* picture, int row, bool lumaFirst) const;
    void packOneRow(const FfmpegPackedRow& row, uint8_t* out);

    const FfmpegVectors vectors_;
    FfmpegChromaRowFilter filter_;
    int filterHeight_ = 0;  // picture height of filter_; 0 before the first
    std::vector<uint8_t> chromaRows_;  // a narrow row's filtered chroma, U then V
};

} // namespace QelRuntime
