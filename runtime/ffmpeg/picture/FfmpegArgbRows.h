// Pairs of ARGB rows sharing a row of 4:2:0 chroma, in vector code: SSE2
// or AVX2 (FfmpegPackedRows.h chooses), giving the same bytes as the plain
// code of FfmpegArgbConversion.cpp, whose sums these are.
#pragma once

#include "FfmpegPackedRows.h"

#include <cstdint>

namespace QelRuntime {

// The constants of the sums in 16-bit lanes, per chroma part in the order
// red by V, green by U, green by V, blue by U.
struct FfmpegArgbConstants {
    int16_t chromaWhole[4];
    uint16_t chromaFraction[4];
    int16_t chromaOffset[4];
    int32_t lumaFractionAndLowBias;  // c, then Kl in the high half
    int16_t highBias;                // Kh
};

struct FfmpegArgbRowPair {
    const uint8_t* luma[2];
    const uint8_t* u;
    const uint8_t* v;
    int width;  // even
    uint8_t* out[2];
};

// Writes the two rows of width x 4 bytes; false, writing nothing, when they
// are narrower than one block of the vectors.
bool convertArgbRowPair(FfmpegVectors vectors, const FfmpegArgbConstants& constants, const FfmpegArgbRowPair& rows);

// The two builds of convertArgbRowPair (FfmpegArgbRowKernel.h).
bool convertArgbRowPairSse2(const FfmpegArgbConstants& constants, const FfmpegArgbRowPair& rows);
bool convertArgbRowPairAvx2(const FfmpegArgbConstants& constants, const FfmpegArgbRowPair& rows);

} // namespace QelRuntime
