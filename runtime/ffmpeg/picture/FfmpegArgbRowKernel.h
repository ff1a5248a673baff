// The loop of convertArgbRowPair, written once over the vector operations V
// of FfmpegPackedRowKernel.h and built with each of its instruction sets
// (FfmpegPackedRows_sse2.cpp, FfmpegPackedRows_avx2.cpp). Besides those, V
// supplies mullo16 and mulhiu16, duplicate<Half> (the lanes of one half of
// a vector, each twice) and storeArgb (kPairs pixels from kPairs bytes of
// each channel). Include it only there.
#pragma once

#include "FfmpegArgbRows.h"

#include <emmintrin.h>

namespace QelRuntime {
namespace {

// With lumaScale = 65536 + c and K = Kh x 65536 + Kl, (K + t x lumaScale)
// >> 16 for t = Y + d is t + Kh + ((t x c + Kl) >> 16), the last summed
// exactly in 32 bits by pmaddwd over (t, 1) and (c, Kl).
template <class V>
struct ArgbSums {
    typename V::Wide whole[4], fraction[4], offset[4];
    typename V::Wide lumaFractionAndLowBias, highBias, one;

    explicit ArgbSums(const FfmpegArgbConstants& k)
        : lumaFractionAndLowBias(V::set32(k.lumaFractionAndLowBias)), highBias(V::set16(k.highBias)), one(V::set16(1))
    {
        for (int part = 0; part < 4; ++part) {
            whole[part] = V::set16(k.chromaWhole[part]);
            fraction[part] = V::set16(int16_t(k.chromaFraction[part]));
            offset[part] = V::set16(k.chromaOffset[part]);
        }
    }

    // (sample x scale) >> 16, less the part's offset, for a scale of whole x
    // 65536 + fraction.
    typename V::Wide steps(typename V::Wide samples, int part) const
    {
        return V::add16(V::add16(V::mullo16(samples, whole[part]), V::mulhiu16(samples, fraction[part])), offset[part]);
    }

    // kPairs channel values, saturated to bytes.
    __m128i channel(typename V::Wide luma, typename V::Wide steps) const
    {
        const typename V::Wide t = V::add16(luma, steps);
        const typename V::Wide low = V::madd16(V::unpacklo16(t, one), lumaFractionAndLowBias);
        const typename V::Wide high = V::madd16(V::unpackhi16(t, one), lumaFractionAndLowBias);
        const typename V::Wide carried = V::packs32(V::srai32(low, 16), V::srai32(high, 16));
        return V::narrow(V::add16(V::add16(t, carried), highBias));
    }
};

template <class V>
bool convertArgbRowPairWith(const FfmpegArgbConstants& constants, const FfmpegArgbRowPair& rows)
{
    constexpr int kBlock = 2 * V::kPairs;  // pixels: kPairs chroma samples
    if (rows.width < kBlock)
        return false;
    const ArgbSums<V> k(constants);
    // Blocks of kBlock; a last partial block is done as the block that ends
    // the rows, writing some pixels again with the same bytes.
    for (int x = 0; x < rows.width; x += kBlock) {
        if (x + kBlock > rows.width)
            x = rows.width - kBlock;
        const typename V::Wide u = V::widen(rows.u + x / 2);
        const typename V::Wide v = V::widen(rows.v + x / 2);
        const typename V::Wide red = k.steps(v, 0);
        const typename V::Wide green = V::add16(k.steps(u, 1), k.steps(v, 2));
        const typename V::Wide blue = k.steps(u, 3);
        for (int half = 0; half < 2; ++half) {
            const typename V::Wide halfRed = half ? V::template duplicate<1>(red) : V::template duplicate<0>(red);
            const typename V::Wide halfGreen = half ? V::template duplicate<1>(green) : V::template duplicate<0>(green);
            const typename V::Wide halfBlue = half ? V::template duplicate<1>(blue) : V::template duplicate<0>(blue);
            const int first = x + half * V::kPairs;
            for (int row = 0; row < 2; ++row) {
                const typename V::Wide y = V::widen(rows.luma[row] + first);
                V::storeArgb(k.channel(y, halfRed), k.channel(y, halfGreen), k.channel(y, halfBlue),
                             rows.out[row] + 4 * first);
            }
        }
    }
    return true;
}

} // namespace
} // namespace QelRuntime
