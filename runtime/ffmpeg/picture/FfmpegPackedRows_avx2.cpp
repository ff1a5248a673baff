// packRow and convertArgbRowPair with 256-bit vectors (FfmpegPackedRowKernel.h,
// FfmpegArgbRowKernel.h). This file alone is
// compiled for AVX2 (CMakeLists.txt) and is called only where the processor
// has it (widestVectors).
#include "FfmpegArgbRowKernel.h"
#include "FfmpegPackedRowKernel.h"

#include <immintrin.h>

namespace QelRuntime {

namespace {

struct Avx2Vectors {
    using Wide = __m256i;
    static constexpr int kPairs = 16;

    static Wide widen(const uint8_t* bytes) { return _mm256_cvtepu8_epi16(loadBytes(bytes)); }
    static __m128i narrow(Wide lanes)
    {
        return _mm_packus_epi16(_mm256_castsi256_si128(lanes), _mm256_extracti128_si256(lanes, 1));
    }
    static __m128i loadBytes(const uint8_t* bytes)
    {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
    }
    // The 128-bit halves of the unpacking are the first and third quarters
    // of the output, then the second and fourth.
    template <bool LumaFirst>
    static void interleave(const uint8_t* luma, __m128i u, __m128i v, uint8_t* out)
    {
        const __m256i chroma = _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_unpacklo_epi8(u, v)),
                                                       _mm_unpackhi_epi8(u, v), 1);
        const __m256i y = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(luma));
        const __m256i low = LumaFirst ? _mm256_unpacklo_epi8(y, chroma) : _mm256_unpacklo_epi8(chroma, y);
        const __m256i high = LumaFirst ? _mm256_unpackhi_epi8(y, chroma) : _mm256_unpackhi_epi8(chroma, y);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), _mm256_permute2x128_si256(low, high, 0x20));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 32), _mm256_permute2x128_si256(low, high, 0x31));
    }
    // The quarters of the lanes in the order 0 2 1 3, so that unpacking
    // within each 128-bit half takes the first or second half of the lanes.
    template <int Half>
    static Wide duplicate(Wide lanes)
    {
        const __m256i ordered = _mm256_permute4x64_epi64(lanes, 0xD8);
        return Half == 0 ? _mm256_unpacklo_epi16(ordered, ordered) : _mm256_unpackhi_epi16(ordered, ordered);
    }
    static void storeArgb(__m128i red, __m128i green, __m128i blue, uint8_t* out)
    {
        const __m128i alpha = _mm_set1_epi8(-1);
        const __m128i alphaRed[2] = {_mm_unpacklo_epi8(alpha, red), _mm_unpackhi_epi8(alpha, red)};
        const __m128i greenBlue[2] = {_mm_unpacklo_epi8(green, blue), _mm_unpackhi_epi8(green, blue)};
        for (int half = 0; half < 2; ++half) {
            const __m256i pixels = _mm256_inserti128_si256(
                _mm256_castsi128_si256(_mm_unpacklo_epi16(alphaRed[half], greenBlue[half])),
                _mm_unpackhi_epi16(alphaRed[half], greenBlue[half]), 1);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 32 * half), pixels);
        }
    }
    static Wide set16(int16_t value) { return _mm256_set1_epi16(value); }
    static Wide set32(int32_t value) { return _mm256_set1_epi32(value); }
    static Wide add16(Wide a, Wide b) { return _mm256_add_epi16(a, b); }
    static Wide mulhi16(Wide a, Wide b) { return _mm256_mulhi_epi16(a, b); }
    static Wide mulhiu16(Wide a, Wide b) { return _mm256_mulhi_epu16(a, b); }
    static Wide mullo16(Wide a, Wide b) { return _mm256_mullo_epi16(a, b); }
    static Wide slli16(Wide a, int bits) { return _mm256_slli_epi16(a, bits); }
    static Wide srai16(Wide a, int bits) { return _mm256_srai_epi16(a, bits); }
    static Wide unpacklo16(Wide a, Wide b) { return _mm256_unpacklo_epi16(a, b); }
    static Wide unpackhi16(Wide a, Wide b) { return _mm256_unpackhi_epi16(a, b); }
    static Wide madd16(Wide a, Wide b) { return _mm256_madd_epi16(a, b); }
    static Wide add32(Wide a, Wide b) { return _mm256_add_epi32(a, b); }
    static Wide srai32(Wide a, int bits) { return _mm256_srai_epi32(a, bits); }
    static Wide packs32(Wide a, Wide b) { return _mm256_packs_epi32(a, b); }
};

} // namespace

bool packRowAvx2(const FfmpegPackedRow& row, uint8_t* out) { return packRowWith<Avx2Vectors>(row, out); }

bool convertArgbRowPairAvx2(const FfmpegArgbConstants& constants, const FfmpegArgbRowPair& rows)
{
    return convertArgbRowPairWith<Avx2Vectors>(constants, rows);
}

} // namespace QelRuntime
