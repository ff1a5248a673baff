// Whole rows of packed 4:2:2 ('yuvs' or '2vuy') from a luma row and the
// chroma rows that go with it, in vector code: SSE2, which every processor
// either build runs on has, and AVX2 where the processor has it (chosen
// when the program runs, so that one binary serves both). Both give the
// same bytes as the plain code of FfmpegPackedConversion.cpp.
#pragma once

#include <cstdint>

namespace QelRuntime {

enum class FfmpegVectors { Sse2, Avx2 };

// The widest vectors this processor runs.
FfmpegVectors widestVectors();

// How a row's chroma is made from its source rows (FfmpegPackedConversion.h):
// copied from one row as it is (4:2:2), or filtered over kPackedTaps rows
// with libswscale's MMX sums or with its exact C sums.
enum class FfmpegChromaSums { Copied, Mmx, Exact };

constexpr int kPackedTaps = 4;

struct FfmpegPackedRow {
    const uint8_t* luma;
    const uint8_t* chroma[2][kPackedTaps];      // U then V: each tap's source row (only the first when copied)
    const int16_t* coefficients;                // filtered: kPackedTaps 12-bit ones
    int pairs;                                  // pixel pairs in the row
    bool lumaFirst;                             // 'yuvs' (Y0 U Y1 V), else '2vuy' (U Y0 V Y1)
    FfmpegChromaSums sums;
};

// Writes the row of pairs x 4 bytes at out; false, writing nothing, when the
// row is narrower than one block of the vectors.
bool packRow(FfmpegVectors vectors, const FfmpegPackedRow& row, uint8_t* out);

// The two builds of packRow, one per instruction set (FfmpegPackedRowKernel.h).
bool packRowSse2(const FfmpegPackedRow& row, uint8_t* out);
bool packRowAvx2(const FfmpegPackedRow& row, uint8_t* out);

} // namespace QelRuntime
