// packRow with 128-bit vectors (FfmpegPackedRowKernel.h), and the choice of
// vectors when the program runs.
#include "FfmpegPackedRowKernel.h"

namespace QelRuntime {

namespace {

struct Sse2Vectors {
    using Wide = __m128i;
    static constexpr int kPairs = 8;

    static Wide widen(const uint8_t* bytes) { return _mm_unpacklo_epi8(loadBytes(bytes), _mm_setzero_si128()); }
    static __m128i narrow(Wide lanes) { return _mm_packus_epi16(lanes, lanes); }
    static __m128i loadBytes(const uint8_t* bytes)
    {
        return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(bytes));
    }
    template <bool LumaFirst>
    static void interleave(const uint8_t* luma, __m128i u, __m128i v, uint8_t* out)
    {
        const __m128i chroma = _mm_unpacklo_epi8(u, v);
        const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(luma));
        store(out, LumaFirst ? _mm_unpacklo_epi8(y, chroma) : _mm_unpacklo_epi8(chroma, y));
        store(out + 16, LumaFirst ? _mm_unpackhi_epi8(y, chroma) : _mm_unpackhi_epi8(chroma, y));
    }
    static void store(uint8_t* out, __m128i bytes) { _mm_storeu_si128(reinterpret_cast<__m128i*>(out), bytes); }
    static Wide set16(int16_t value) { return _mm_set1_epi16(value); }
    static Wide set32(int32_t value) { return _mm_set1_epi32(value); }
    static Wide add16(Wide a, Wide b) { return _mm_add_epi16(a, b); }
    static Wide mulhi16(Wide a, Wide b) { return _mm_mulhi_epi16(a, b); }
    static Wide slli16(Wide a, int bits) { return _mm_slli_epi16(a, bits); }
    static Wide srai16(Wide a, int bits) { return _mm_srai_epi16(a, bits); }
    static Wide unpacklo16(Wide a, Wide b) { return _mm_unpacklo_epi16(a, b); }
    static Wide unpackhi16(Wide a, Wide b) { return _mm_unpackhi_epi16(a, b); }
    static Wide madd16(Wide a, Wide b) { return _mm_madd_epi16(a, b); }
    static Wide add32(Wide a, Wide b) { return _mm_add_epi32(a, b); }
    static Wide srai32(Wide a, int bits) { return _mm_srai_epi32(a, bits); }
    static Wide packs32(Wide a, Wide b) { return _mm_packs_epi32(a, b); }
};

} // namespace

bool packRowSse2(const FfmpegPackedRow& row, uint8_t* out) { return packRowWith<Sse2Vectors>(row, out); }

FfmpegVectors widestVectors()
{
    // Also sees whether the system saves the AVX registers (libgcc's check).
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") ? FfmpegVectors::Avx2 : FfmpegVectors::Sse2;
}

bool packRow(FfmpegVectors vectors, const FfmpegPackedRow& row, uint8_t* out)
{
    return vectors == FfmpegVectors::Avx2 ? packRowAvx2(row, out) : packRowSse2(row, out);
}

} // namespace QelRuntime
