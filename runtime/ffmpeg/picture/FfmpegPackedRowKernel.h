// The loop of packRow, written once over a set of vector operations V and
// built once per instruction set: FfmpegPackedRows_sse2.cpp gives V 128-bit
// registers, FfmpegPackedRows_avx2.cpp (compiled for AVX2) 256-bit ones.
// Everything here has internal linkage, so that nothing compiled for AVX2
// can stand in for its SSE2 twin at link time. Include it only there.
//
// V supplies: Wide (kPairs 16-bit lanes), kPairs, widen (kPairs bytes to
// lanes), narrow (lanes to kPairs bytes, saturated, in the low bytes of a
// 128-bit register), loadBytes (kPairs bytes), interleave (kPairs pixel
// pairs of packed 4:2:2 from 2 x kPairs luma bytes and kPairs bytes of
// each chroma plane), and the lane arithmetic used below under the names
// of their SSE2 instructions.
#pragma once

#include "FfmpegPackedRows.h"

#include <emmintrin.h>

namespace QelRuntime {
namespace {

// libswscale's MMX sums: samples of 15 bits (value x 128) times 12-bit
// coefficients, the top 16 bits of each product summed in 16 bits with 4,
// shifted down by 3 (FfmpegPackedConversion.cpp: filterRowInOnePass).
template <class V>
typename V::Wide mmxSums(const uint8_t* const rows[kPackedTaps], const typename V::Wide coefficients[], int x)
{
    typename V::Wide sum = V::set16(4);
    for (int j = 0; j < kPackedTaps; ++j)
        sum = V::add16(sum, V::mulhi16(V::slli16(V::widen(rows[j] + x), 7), coefficients[j]));
    return V::srai16(sum, 3);
}

// libswscale's exact C sums, rounded to nearest (filterRowExactlyInOnePass):
// products summed in 32 bits two taps at a time, each coefficient pair
// packed in one 32-bit lane; the halves of the lanes keep their order
// through the unpacking and the packing back.
template <class V>
typename V::Wide exactSums(const uint8_t* const rows[kPackedTaps], const typename V::Wide coefficientPairs[], int x)
{
    typename V::Wide low = V::set32(1 << 11);
    typename V::Wide high = low;
    for (int j = 0; j < kPackedTaps; j += 2) {
        const typename V::Wide first = V::widen(rows[j] + x);
        const typename V::Wide second = V::widen(rows[j + 1] + x);
        low = V::add32(low, V::madd16(V::unpacklo16(first, second), coefficientPairs[j / 2]));
        high = V::add32(high, V::madd16(V::unpackhi16(first, second), coefficientPairs[j / 2]));
    }
    return V::packs32(V::srai32(low, 12), V::srai32(high, 12));
}

template <class V, FfmpegChromaSums Sums, bool LumaFirst>
void packBlocks(const FfmpegPackedRow& row, uint8_t* out)
{
    typename V::Wide coefficients[kPackedTaps];
    if (Sums == FfmpegChromaSums::Mmx) {
        for (int j = 0; j < kPackedTaps; ++j)
            coefficients[j] = V::set16(row.coefficients[j]);
    } else if (Sums == FfmpegChromaSums::Exact) {
        for (int j = 0; j < kPackedTaps; j += 2)
            coefficients[j / 2] = V::set32(int32_t(uint16_t(row.coefficients[j]) |
                                                   uint32_t(uint16_t(row.coefficients[j + 1])) << 16));
    }
    // In registers, as out might alias row for all the compiler knows.
    const uint8_t* rows[2][kPackedTaps];
    for (int plane = 0; plane < 2; ++plane) {
        for (int j = 0; j < kPackedTaps; ++j)
            rows[plane][j] = row.chroma[plane][j];
    }
    const uint8_t* const luma = row.luma;
    const int pairs = row.pairs;
    __m128i chroma[2];
    // Blocks of kPairs; a last partial block is done as the block that ends
    // the row, writing some pairs again with the same bytes.
    for (int x = 0; x < pairs; x += V::kPairs) {
        if (x + V::kPairs > pairs)
            x = pairs - V::kPairs;
        for (int plane = 0; plane < 2; ++plane) {
            if (Sums == FfmpegChromaSums::Copied)
                chroma[plane] = V::loadBytes(rows[plane][0] + x);
            else if (Sums == FfmpegChromaSums::Mmx)
                chroma[plane] = V::narrow(mmxSums<V>(rows[plane], coefficients, x));
            else
                chroma[plane] = V::narrow(exactSums<V>(rows[plane], coefficients, x));
        }
        V::template interleave<LumaFirst>(luma + 2 * x, chroma[0], chroma[1], out + 4 * x);
    }
}

template <class V, bool LumaFirst>
void packBlocks(const FfmpegPackedRow& row, uint8_t* out)
{
    switch (row.sums) {
    case FfmpegChromaSums::Copied:
        return packBlocks<V, FfmpegChromaSums::Copied, LumaFirst>(row, out);
    case FfmpegChromaSums::Mmx:
        return packBlocks<V, FfmpegChromaSums::Mmx, LumaFirst>(row, out);
    case FfmpegChromaSums::Exact:
        return packBlocks<V, FfmpegChromaSums::Exact, LumaFirst>(row, out);
    }
}

template <class V>
bool packRowWith(const FfmpegPackedRow& row, uint8_t* out)
{
    if (row.pairs < V::kPairs)
        return false;
    if (row.lumaFirst)
        packBlocks<V, true>(row, out);
    else
        packBlocks<V, false>(row, out);
    return true;
}

} // namespace
} // namespace QelRuntime
