// packRow with 256-bit vectors (FfmpegPackedRowKernel.h). This file alone is
// compiled for AVX2 (CMakeLists.txt) and is called only where the processor
// has it (widestVectors).
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
    static Wide set16(int16_t value) { return _mm256_set1_epi16(value); }
    static Wide set32(int32_t value) { return _mm256_set1_epi32(value); }
    static Wide add16(Wide a, Wide b) { return _mm256_add_epi16(a, b); }
    static Wide mulhi16(Wide a, Wide b) { return _mm256_mulhi_epi16(a, b); }
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

} // namespace QelRuntime
