#include "FfmpegPackedConversion.h"

#include <algorithm>

namespace QelRuntime {

namespace {

// One row of packed 4:2:2 from a luma row and the chroma rows that go with it.
template <bool LumaFirst>
void interleaveRow(const uint8_t* __restrict y, const uint8_t* __restrict u, const uint8_t* __restrict v, int pairs,
                   uint8_t* __restrict out)
{
    for (int i = 0; i < pairs; ++i) {
        out[4 * i + (LumaFirst ? 0 : 1)] = y[2 * i];
        out[4 * i + (LumaFirst ? 1 : 0)] = u[i];
        out[4 * i + (LumaFirst ? 2 : 3)] = y[2 * i + 1];
        out[4 * i + (LumaFirst ? 3 : 2)] = v[i];
    }
}

// The filtered chroma of one output row as libswscale's MMX code sums it:
// samples of 15 bits (value x 128) times 12-bit coefficients, each
// product's top 16 bits kept, summed with 4 in 16 bits and shifted down by
// 3, then saturated.
void filterRowInOnePass(const uint8_t* const rows[], const int16_t* coefficients, int count, uint8_t* out)
{
    for (int x = 0; x < count; ++x) {
        int16_t sum = 4;
        for (int j = 0; j < kPackedTaps; ++j)
            sum = int16_t(sum + int16_t((int32_t(rows[j][x] << 7) * coefficients[j]) >> 16));
        out[x] = uint8_t(std::clamp(sum >> 3, 0, 255));
    }
}

// The same as libswscale's C code sums it: exactly, rounded to nearest
// (halves up), then clipped.
void filterRowExactlyInOnePass(const uint8_t* const rows[], const int16_t* coefficients, int count, uint8_t* out)
{
    for (int x = 0; x < count; ++x) {
        int32_t sum = 1 << 11;
        for (int j = 0; j < kPackedTaps; ++j)
            sum += int32_t(rows[j][x]) * coefficients[j];
        out[x] = uint8_t(std::clamp(sum >> 12, 0, 255));
    }
}

} // namespace

bool FfmpegPackedConversion::convert(const AVFrame* picture, bool fullRange, AVPixelFormat target, uint8_t* base,
                                     int32_t rowBytes)
{
    const auto format = AVPixelFormat(picture->format);
    const bool lumaFirst = target == AV_PIX_FMT_YUYV422;
    if (fullRange || (!lumaFirst && target != AV_PIX_FMT_UYVY422) || picture->width % 2 != 0 ||
        rowBytes < picture->width * 2)
        return false;
    if (format == AV_PIX_FMT_YUV422P) {
        for (int y = 0; y < picture->height; ++y) {
            FfmpegPackedRow row{picture->data[0] + ptrdiff_t(y) * picture->linesize[0],
                                {{picture->data[1] + ptrdiff_t(y) * picture->linesize[1]},
                                 {picture->data[2] + ptrdiff_t(y) * picture->linesize[2]}},
                                nullptr,
                                picture->width / 2,
                                lumaFirst,
                                FfmpegChromaSums::Copied};
            packOneRow(row, base + ptrdiff_t(y) * rowBytes);
        }
        return true;
    }
    if (format != AV_PIX_FMT_YUV420P || !prepareFilter(picture->height))
        return false;
    for (int y = 0; y < picture->height; ++y)
        packOneRow(rowOf420(picture, y, lumaFirst), base + ptrdiff_t(y) * rowBytes);
    return true;
}

bool FfmpegPackedConversion::prepareFilter(int pictureHeight)
{
    if (filterHeight_ != pictureHeight) {
        filter_ = FfmpegChromaRowFilter::bicubic((pictureHeight + 1) / 2, pictureHeight);
        filterHeight_ = pictureHeight;
    }
    // At picture heights below 14 libswscale shortens the filter and takes
    // other output code, which is left to it.
    return filter_.taps == kPackedTaps;
}

FfmpegPackedRow FfmpegPackedConversion::rowOf420(const AVFrame* picture, int y, bool lumaFirst) const
{
    const int chromaRows = (picture->height + 1) / 2;
    // libswscale's MMX output cannot write the last two rows.
    const bool exactSums = !lumaFirst || y >= picture->height - 2;
    FfmpegPackedRow row{picture->data[0] + ptrdiff_t(y) * picture->linesize[0],
                        {},
                        filter_.coefficients.data() + size_t(y) * kPackedTaps,
                        picture->width / 2,
                        lumaFirst,
                        exactSums ? FfmpegChromaSums::Exact : FfmpegChromaSums::Mmx};
    for (int plane = 0; plane < 2; ++plane) {
        for (int j = 0; j < kPackedTaps; ++j) {
            const int source = std::min(filter_.firstRows[size_t(y)] + j, chromaRows - 1);
            row.chroma[plane][j] = picture->data[plane + 1] + ptrdiff_t(source) * picture->linesize[plane + 1];
        }
    }
    return row;
}

// In vector code, or, for rows narrower than a block of the vectors, one
// pixel at a time.
void FfmpegPackedConversion::packOneRow(const FfmpegPackedRow& row, uint8_t* out)
{
    if (packRow(vectors_, row, out))
        return;
    const uint8_t* chroma[2] = {row.chroma[0][0], row.chroma[1][0]};
    if (row.sums != FfmpegChromaSums::Copied) {
        chromaRows_.resize(size_t(row.pairs) * 2);
        for (int plane = 0; plane < 2; ++plane) {
            uint8_t* filtered = chromaRows_.data() + size_t(plane) * size_t(row.pairs);
            if (row.sums == FfmpegChromaSums::Exact)
                filterRowExactlyInOnePass(row.chroma[plane], row.coefficients, row.pairs, filtered);
            else
                filterRowInOnePass(row.chroma[plane], row.coefficients, row.pairs, filtered);
            chroma[plane] = filtered;
        }
    }
    if (row.lumaFirst)
        interleaveRow<true>(row.luma, chroma[0], chroma[1], row.pairs, out);
    else
        interleaveRow<false>(row.luma, chroma[0], chroma[1], row.pairs, out);
}

} // namespace QelRuntime
