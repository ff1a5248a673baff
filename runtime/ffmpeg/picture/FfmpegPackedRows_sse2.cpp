// packRow and convertArgbRowPair with 128-bit vectors (FfmpegPackedRowKernel.h,
// FfmpegArgbRowKernel.h), and the choice of vectors when the program runs.
#include "FfmpegArgbRowKernel.h"
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
    template <int Half>
    static Wide duplicate(Wide lanes)
    {
        return Half == 0 ? _mm_unpacklo_epi16(lanes, lanes) : _mm_unpackhi_epi16(lanes, lanes);
    }
    static void storeArgb(__m128i red, __m128i green, __m128i blue, uint8_t* out)
    {
        const __m128i alphaRed = _mm_unpacklo_epi8(_mm_set1_epi8(-1), red);
        const __m128i greenBlue = _mm_unpacklo_epi8(green, blue);
        store(out, _mm_unpacklo_epi16(alphaRed, greenBlue));
        store(out + 16, _mm_unpackhi_epi16(alphaRed, greenBlue));
    }
    static Wide set16(int16_t value) { return _mm_set1_epi16(value); }
    static Wide set32(int32_t value) { return _mm_set1_epi32(value); }
    static Wide add16(Wide a, Wide b) { return _mm_add_epi16(a, b); }
    static Wide mulhi16(Wide a, Wide b) { return _mm_mulhi_epi16(a, b); }
    static Wide mulhiu16(Wide a, Wide b) { return _mm_mulhi_epu16(a, b); }
    static Wide mullo16(Wide a, Wide b) { return _mm_mullo_epi16(a, b); }
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

bool convertArgbRowPairSse2(const FfmpegArgbConstants& constants, const FfmpegArgbRowPair& rows)
{
    return convertArgbRowPairWith<Sse2Vectors>(constants, rows);
}

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

bool convertArgbRowPair(FfmpegVectors vectors, const FfmpegArgbConstants& constants, const FfmpegArgbRowPair& rows)
{
    return vectors == FfmpegVectors::Avx2 ? convertArgbRowPairAvx2(constants, rows)
                                          : convertArgbRowPairSse2(constants, rows);
}

} // namespace QelRuntime
