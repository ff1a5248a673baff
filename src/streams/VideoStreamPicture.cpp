// Filling an output frame from the picture of a sample. Every byte of the
// frame is written: what the source does not hold is cleared, and nothing
// is read past the source's end.
#include "streams/VideoStream.h"

#include <algorithm>
#include <cstring>

namespace Qel {

namespace {

// Copies count bytes that start offset bytes into the source, clearing the
// part of the span that lies outside it.
void copySpan(unsigned char* to, size_t count, const unsigned char* from, size_t fromSize, int64_t offset)
{
    size_t available = 0;
    if (offset >= 0 && uint64_t(offset) < fromSize)
        available = std::min(count, fromSize - size_t(offset));
    if (available)
        std::memcpy(to, from + offset, available);
    std::memset(to + available, 0, count - available);
}

} // namespace

void ContainerQuickTime::VideoStream::fillFrame(unsigned char* frame, const PictureSource& source) const
{
    if (decodeFormat == kYvu9)
        convertYvu9ToYv12(frame, source);
    else if (source.size == source.frameBytes)
        std::memcpy(frame, source.bytes, source.frameBytes);
    else
        copyRows(frame, source);
}

// Rows of outputRowBytes taken every source.rowBytes bytes (padded rows).
void ContainerQuickTime::VideoStream::copyRows(unsigned char* frame, const PictureSource& source) const
{
    const size_t rowBytes = size_t(std::max(outputRowBytes, 0));
    size_t written = 0;
    for (int32_t row = 0; row < properties.height && written + rowBytes <= source.frameBytes; ++row) {
        copySpan(frame + written, rowBytes, source.bytes, source.size, int64_t(row) * source.rowBytes);
        written += rowBytes;
    }
    std::memset(frame + written, 0, source.frameBytes - written);
}

// 'YVU9' holds a luma plane of height rows of R bytes, then a V and a U
// plane of ceil(height / 4) rows of ceil(R / 4) bytes, one chroma byte per
// 4 x 4 block; "YV12" wants V and U at half the width and height, each
// tightly packed. Every chroma byte of the source covers two by two chroma
// bytes of the frame.
void ContainerQuickTime::VideoStream::convertYvu9ToYv12(unsigned char* frame, const PictureSource& source) const
{
    const int32_t width = properties.width;
    const int32_t height = properties.height;
    const int64_t lumaStride = source.rowBytes;
    const size_t lumaBytes = size_t(width) * size_t(height);
    for (int32_t row = 0; row < height; ++row)
        copySpan(frame + size_t(row) * size_t(width), size_t(width), source.bytes, source.size, row * lumaStride);
    std::memset(frame + lumaBytes, 0, source.frameBytes - lumaBytes);

    const int64_t sourceChromaStride = (lumaStride + 3) / 4;
    const int64_t sourcePlaneBytes = (height + 3) / 4 * sourceChromaStride;
    const int32_t chromaWidth = width / 2;
    const int32_t chromaHeight = height / 2;
    const size_t chromaBytes = size_t(chromaWidth) * size_t(chromaHeight);
    for (int32_t plane = 0; plane < 2 && lumaBytes + (plane + 1) * chromaBytes <= source.frameBytes; ++plane) {
        const int64_t from = height * lumaStride + plane * sourcePlaneBytes;
        unsigned char* to = frame + lumaBytes + plane * chromaBytes;
        for (int32_t y = 0; y < chromaHeight; ++y)
            for (int32_t x = 0; x < chromaWidth; ++x)
                copySpan(to + size_t(y) * chromaWidth + x, 1, source.bytes, source.size,
                         from + (y / 2) * sourceChromaStride + x / 2);
    }
}

// The luma row bytes R of a 'YVU9' sample of the given size: the sample is
// height rows of R bytes and two chroma planes of ceil(height / 4) rows of
// ceil(R / 4) bytes, so padded rows show in its size. A size that fits no R
// is read as unpadded rows.
int32_t ContainerQuickTime::VideoStream::yvu9RowBytes(size_t sampleSize, int32_t width, int32_t height)
{
    const int64_t chromaRows = (int64_t(height) + 3) / 4;
    for (int64_t rowBytes = width; rowBytes * height <= int64_t(sampleSize); ++rowBytes) {
        if (rowBytes * height + 2 * chromaRows * ((rowBytes + 3) / 4) == int64_t(sampleSize))
            return int32_t(rowBytes);
    }
    return width;
}

} // namespace Qel
