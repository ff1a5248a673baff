#include "FfmpegChromaRowFilter.h"

#include <algorithm>
#include <cstdlib>

namespace QelRuntime {

namespace {

// libswscale's fixed point: a filter is computed in units of 2^54 and
// scaled to 12 bits at the end; coefficients within 0.2 % of the unit at a
// filter's ends are dropped.
constexpr int64_t kOne = int64_t(1) << 54;
constexpr double kReduceCutOff = 0.002;
constexpr int64_t kOutputOne = 1 << 12;
// The x86 build pads vertical filters to an even number of taps.
constexpr int kTapAlignment = 2;

// The bicubic kernel with B = 0 and C = 0.6 (libswscale's defaults) at
// distance d, in units of 2^30 of a source row.
int64_t bicubicAt(int64_t d)
{
    constexpr int64_t B = 0;
    const auto C = int64_t(0.6 * (1 << 24));
    if (d >= int64_t(1) << 31)
        return 0;
    const int64_t dd = (d * d) >> 30;
    const int64_t ddd = (dd * d) >> 30;
    if (d < int64_t(1) << 30)
        return (12 * (1 << 24) - 9 * B - 6 * C) * ddd + (-18 * (1 << 24) + 12 * B + 6 * C) * dd +
               (6 * (1 << 24) - 2 * B) * (int64_t(1) << 30);
    return (-B - 6 * C) * ddd + (6 * B + 30 * C) * dd + (-12 * B - 48 * C) * d + (8 * B + 24 * C) * (int64_t(1) << 30);
}

struct WideFilter {
    int size;
    std::vector<int> first;
    std::vector<int64_t> coefficients;  // size per row

    int64_t* row(int i) { return coefficients.data() + size_t(i) * size_t(size); }
};

// Chroma sited between the 4:2:0 rows and on the 4:2:2 rows: both at 128
// in libswscale's positions (1/256 of an output row from the ideal edge).
WideFilter kernelFilter(int sourceRows, int targetRows, int64_t step)
{
    constexpr int64_t sourcePosition = 128, targetPosition = 128;
    WideFilter filter;
    filter.size = std::max(std::min(1 + 4, sourceRows - 2), 1);
    filter.first.resize(size_t(targetRows));
    filter.coefficients.resize(size_t(targetRows) * size_t(filter.size));
    int64_t targetInSource = ((targetPosition * step) >> 7) - ((sourcePosition * 0x10000) >> 7);
    for (int i = 0; i < targetRows; ++i) {
        int64_t source = (targetInSource - int64_t(filter.size - 2) * (1 << 16)) / (1 << 17);
        filter.first[size_t(i)] = int(source);
        for (int j = 0; j < filter.size; ++j, ++source)
            filter.row(i)[j] = bicubicAt(std::llabs(source * (1 << 17) - targetInSource) << 13);
        targetInSource += 2 * step;
    }
    return filter;
}

// Drops the near-zero coefficients at both ends of every row (the first
// row only moves right while the rows stay in order); the taps left are the
// most any row needs, rounded up to the alignment.
int reducedSize(WideFilter& filter, int targetRows)
{
    int largest = 0;
    for (int i = targetRows - 1; i >= 0; --i) {
        int64_t* row = filter.row(i);
        int64_t cutOff = 0;
        for (int j = 0; j < filter.size; ++j) {
            cutOff += std::llabs(row[0]);
            if (double(cutOff) > kReduceCutOff * double(kOne))
                break;
            if (i < targetRows - 1 && filter.first[size_t(i)] >= filter.first[size_t(i) + 1])
                break;
            std::copy(row + 1, row + filter.size, row);
            row[filter.size - 1] = 0;
            ++filter.first[size_t(i)];
        }
        int size = filter.size;
        cutOff = 0;
        for (int j = filter.size - 1; j > 0; --j) {
            cutOff += std::llabs(row[j]);
            if (double(cutOff) > kReduceCutOff * double(kOne))
                break;
            --size;
        }
        largest = std::max(largest, size);
    }
    const int alignment = largest == 1 ? 1 : kTapAlignment;
    return (largest + alignment - 1) / alignment * alignment;
}

WideFilter resized(WideFilter& filter, int size, int targetRows)
{
    WideFilter result{size, std::move(filter.first), std::vector<int64_t>(size_t(targetRows) * size_t(size))};
    for (int i = 0; i < targetRows; ++i)
        std::copy_n(filter.row(i), std::min(size, filter.size), result.row(i));
    return result;
}

// Rows before the first source row or past the last fold into the edge rows.
void foldEdges(WideFilter& filter, int sourceRows, int targetRows)
{
    const int size = filter.size;
    for (int i = 0; i < targetRows; ++i) {
        int64_t* row = filter.row(i);
        int& first = filter.first[size_t(i)];
        if (first < 0) {
            for (int j = 1; j < size; ++j) {
                const int to = std::max(j + first, 0);
                row[to] += row[j];
                row[j] = 0;
            }
            first = 0;
        }
        if (first + size > sourceRows) {
            const int shift = first + std::min(size - sourceRows, 0);
            int64_t beyond = 0;
            for (int j = size - 1; j >= 0; --j) {
                if (first + j >= sourceRows) {
                    beyond += row[j];
                    row[j] = 0;
                }
            }
            for (int j = size - 1; j >= 0; --j)
                row[j] = j < shift ? 0 : row[j - shift];
            first -= shift;
            row[sourceRows - 1 - first] += beyond;
        }
    }
}

int64_t roundedDivision(int64_t a, int64_t b) { return (a >= 0 ? a + (b >> 1) : a - (b >> 1)) / b; }

} // namespace

FfmpegChromaRowFilter FfmpegChromaRowFilter::bicubic(int sourceRows, int targetRows)
{
    FfmpegChromaRowFilter result;
    if (sourceRows <= 0 || targetRows <= 0)
        return result;
    const int64_t step = ((int64_t(sourceRows) << 16) + (targetRows >> 1)) / targetRows;
    if (step > 1 << 16)
        return result;
    WideFilter wide = kernelFilter(sourceRows, targetRows, step);
    const int size = reducedSize(wide, targetRows);
    wide = resized(wide, size, targetRows);
    foldEdges(wide, sourceRows, targetRows);

    // Normalised to 12 bits, each rounding error carried into the next tap.
    result.taps = size;
    result.firstRows = std::move(wide.first);
    result.coefficients.resize(size_t(targetRows) * size_t(size));
    for (int i = 0; i < targetRows; ++i) {
        const int64_t* row = wide.row(i);
        int64_t sum = 0;
        for (int j = 0; j < size; ++j)
            sum += row[j];
        sum = (sum + kOutputOne / 2) / kOutputOne;
        if (sum == 0)
            sum = 1;
        int64_t error = 0;
        for (int j = 0; j < size; ++j) {
            const int64_t value = row[j] + error;
            const int64_t rounded = roundedDivision(value, sum);
            result.coefficients[size_t(i) * size_t(size) + size_t(j)] = int16_t(rounded);
            error = value - rounded * sum;
        }
    }
    return result;
}

} // namespace QelRuntime
