#include "FfmpegPackedConversion.h"

#include <algorithm>

namespace QelRuntime {

namespace {

// The taps of libswscale's bicubic filter from 4:2:0 rows to 4:2:2 rows at
// every picture height above 13; at lower ones it shortens the filter and
// takes other output code, which is left to it.
constexpr int kTaps = FfmpegPackedConversion::kWidenedRows;

// libswscale's 15-bit samples: value x 128.
void widenRow(const uint8_t* __restrict row, int count, int16_t* __restrict widened)
{
    for (int x = 0; x < count; ++x)
        widened[x] = int16_t(row[x] << 7);
}

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

void interleaveRow(bool lumaFirst, const uint8_t* y, const uint8_t* u, const uint8_t* v, int pairs, uint8_t* out)
{
    if (lumaFirst)
        interleaveRow<true>(y, u, v, pairs, out);
    else
        interleaveRow<false>(y, u, v, pairs, out);
}

// The filtered chroma of one output row as libswscale's MMX code sums it:
// samples of 15 bits (value x 128, FfmpegPackedConversion::widenedRow)
// times 12-bit coefficients, each product's top 16 bits kept, summed with 4
// and shifted down by 3, then saturated. 16-bit operands, which the
// vectoriser multiplies 8 at a time, and sums kept in registers.
template <int Taps>
void filterRowInOnePass(const int16_t* const rows[], const int16_t* coefficients, int count, uint8_t* __restrict out)
{
    const int16_t* __restrict row[Taps];
    int16_t coefficient[Taps];
    for (int j = 0; j < Taps; ++j) {
        row[j] = rows[j];
        coefficient[j] = coefficients[j];
    }
    for (int x = 0; x < count; ++x) {
        int16_t sum = 4;
        for (int j = 0; j < Taps; ++j)
            sum = int16_t(sum + int16_t((int32_t(row[j][x]) * coefficient[j]) >> 16));
        out[x] = uint8_t(std::clamp(sum >> 3, 0, 255));
    }
}

// The same as libswscale's C code sums it: exactly, rounded to nearest
// (halves up), then clipped.
template <int Taps>
void filterRowExactlyInOnePass(const uint8_t* const rows[], const int16_t* coefficients, int count,
                               uint8_t* __restrict out)
{
    const uint8_t* __restrict row[Taps];
    int16_t coefficient[Taps];
    for (int j = 0; j < Taps; ++j) {
        row[j] = rows[j];
        coefficient[j] = coefficients[j];
    }
    for (int x = 0; x < count; ++x) {
        int32_t sum = 1 << 11;
        for (int j = 0; j < Taps; ++j)
            sum += int32_t(row[j][x]) * coefficient[j];
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
    const int pairs = picture->width / 2;
    if (format == AV_PIX_FMT_YUV422P) {
        for (int row = 0; row < picture->height; ++row) {
            interleaveRow(lumaFirst, picture->data[0] + ptrdiff_t(row) * picture->linesize[0],
                          picture->data[1] + ptrdiff_t(row) * picture->linesize[1],
                          picture->data[2] + ptrdiff_t(row) * picture->linesize[2], pairs,
                          base + ptrdiff_t(row) * rowBytes);
        }
        return true;
    }
    if (format != AV_PIX_FMT_YUV420P || !prepareFilter(picture->height))
        return false;
    chromaRows_.resize(size_t(pairs) * 2);
    widened_.resize(size_t(pairs) * 2 * kWidenedRows);
    std::fill(std::begin(widenedSource_[0]), std::end(widenedSource_[0]), -1);
    std::fill(std::begin(widenedSource_[1]), std::end(widenedSource_[1]), -1);
    for (int row = 0; row < picture->height; ++row) {
        // libswscale's MMX output cannot write the last two rows.
        const bool exactSums = !lumaFirst || row >= picture->height - 2;
        convert420Row(picture, row, exactSums, lumaFirst, base + ptrdiff_t(row) * rowBytes);
    }
    return true;
}

bool FfmpegPackedConversion::prepareFilter(int pictureHeight)
{
    if (filterHeight_ != pictureHeight) {
        filter_ = FfmpegChromaRowFilter::bicubic((pictureHeight + 1) / 2, pictureHeight);
        filterHeight_ = pictureHeight;
    }
    return filter_.taps == kTaps;
}

void FfmpegPackedConversion::convert420Row(const AVFrame* picture, int row, bool exactSums, bool lumaFirst,
                                           uint8_t* out)
{
    const int pairs = picture->width / 2;
    const int chromaRows = (picture->height + 1) / 2;
    const int16_t* coefficients = filter_.coefficients.data() + size_t(row) * kTaps;
    uint8_t* filtered[2] = {chromaRows_.data(), chromaRows_.data() + pairs};
    for (int plane = 1; plane <= 2; ++plane) {
        int sources[kTaps];
        for (int j = 0; j < kTaps; ++j)
            sources[j] = std::min(filter_.firstRows[size_t(row)] + j, chromaRows - 1);
        if (exactSums) {
            const uint8_t* rows[kTaps];
            for (int j = 0; j < kTaps; ++j)
                rows[j] = picture->data[plane] + ptrdiff_t(sources[j]) * picture->linesize[plane];
            filterRowExactlyInOnePass<kTaps>(rows, coefficients, pairs, filtered[plane - 1]);
        } else {
            const int16_t* rows[kTaps];
            for (int j = 0; j < kTaps; ++j)
                rows[j] = widenedRow(picture, plane, sources[j]);
            filterRowInOnePass<kTaps>(rows, coefficients, pairs, filtered[plane - 1]);
        }
    }
    interleaveRow(lumaFirst, picture->data[0] + ptrdiff_t(row) * picture->linesize[0], filtered[0], filtered[1],
                  pairs, out);
}

// Output rows step through the source rows in order, each using at most
// kTaps consecutive ones: a ring of that many rows per plane widens
// each source row once.
const int16_t* FfmpegPackedConversion::widenedRow(const AVFrame* picture, int plane, int sourceRow)
{
    const int pairs = picture->width / 2;
    const int slot = sourceRow % kWidenedRows;
    int16_t* widened = widened_.data() + (size_t(plane - 1) * kWidenedRows + size_t(slot)) * size_t(pairs);
    int& held = widenedSource_[plane - 1][slot];
    if (held != sourceRow) {
        widenRow(picture->data[plane] + ptrdiff_t(sourceRow) * picture->linesize[plane], pairs, widened);
        held = sourceRow;
    }
    return widened;
}

} // namespace QelRuntime
