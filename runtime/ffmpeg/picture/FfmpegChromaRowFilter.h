// The vertical filter with which libswscale's bicubic scaler (FFmpeg 5.1,
// x86) brings 4:2:0 chroma rows to the rows of a 4:2:2 picture of the same
// height: for each output row, the first source row and the 12-bit
// coefficients (summing to 4096) of the rows from there on. Computed as
// libswscale computes it, in the same integer steps, so that a conversion
// using it gives libswscale's bytes (FfmpegPackedConversion.h).
#pragma once

#include <cstdint>
#include <vector>

namespace QelRuntime {

struct FfmpegChromaRowFilter {
    int taps = 0;
    std::vector<int> firstRows;           // per output row
    std::vector<int16_t> coefficients;    // taps per output row

    // The filter from sourceRows chroma rows to targetRows output rows; taps
    // 0 where libswscale would make no upscaling filter of its own.
    static FfmpegChromaRowFilter bicubic(int sourceRows, int targetRows);
};

} // namespace QelRuntime
