// The decoding set-up made for each sample description: direct mode when
// the samples already are frames in the output format, otherwise a
// decompression sequence drawing into a surface over frameBuffer.
#include "streams/VideoStream.h"

#include <algorithm>
#include <new>

#include "quicktime/QtFailure.h"
#include "quicktime/QtOperations.h"
#include "support/Log.h"

namespace Qel {

namespace {
constexpr int16_t kDecompressCopyMode = 64;
constexpr uint32_t kDecompressAccuracy = 0x3FF;
} // namespace

bool ContainerQuickTime::VideoStream::prepareDecoding(const QtImageDescription& description, QtStatus& status)
{
    releaseDecoding();
    const QtOSType type = description.compressionType;
    if (isDirectFormat(description)) {
        QEL_LOG(kVideoReadStream, "QT video is %s, skipping DecompressSequence",
                reinterpret_cast<const char*>(&format));
    } else {
        QEL_LOG(kVideoReadStream, "QT video, export output %c%c%c%c, using DecompressSequence", int(type & 0xFF),
                int((type >> 8) & 0xFF), int((type >> 16) & 0xFF), int((type >> 24) & 0xFF));
        if (!startDecompression(status))
            return false;
    }
    lastDescriptionSeed = request.descriptionSeed;
    decodingReady = true;
    return true;
}

bool ContainerQuickTime::VideoStream::isDirectFormat(const QtImageDescription& description) const
{
    const QtOSType type = description.compressionType;
    if (type != decodeFormat)
        return false;
    return type == kYvu9 || type == kYuvs || type == k2vuy || type == kArgb32 ||
           (type == kRaw && description.depth == 32);
}

// On failure status holds the runtime's status, or 0 when the runtime made no
// surface without saying why; whatever was made is released by the next
// set-up or by closeStream.
bool ContainerQuickTime::VideoStream::startDecompression(QtStatus& status)
{
    // The runtime's rectangles exclude their bottom and right edges: bounds
    // of height x width cover the whole frame (one row and column less
    // would leave the frame's last row and column undrawn).
    const QtRect bounds = {0, 0, int16_t(properties.height), int16_t(properties.width)};
    QtMatrix matrix = {};
    QtMatrixRectMap(&matrix, &bounds, &bounds);
    const uint32_t pixelFormat = decodeFormat == kRaw ? kArgb32 : decodeFormat;

    // Cleared, so that a decompressor that draws less than the whole frame
    // never hands the host stale or uninitialised bytes. A picture too large
    // for the memory at hand fails like a runtime failure.
    unsigned char* block = new (std::nothrow) unsigned char[size_t(frameSize)]();
    if (!block) {
        status = kQtOutOfMemory;
        QEL_LOG_QT_FAILURE(kVideoReadStream, status);
        return false;
    }
    if (frameBuffer.dataSize() != 0) {
        delete[] frameBuffer.lockData();
        frameBuffer.unlockData();
    }
    frameBuffer.setData(block, uint32_t(frameSize));
    sourceRowBytes = outputRowBytes;

    status = QtSurfaceCreate(&surface, pixelFormat, &bounds, nullptr, nullptr, 0, block, outputRowBytes);
    if (status != 0) {
        QEL_LOG_QT_FAILURE(kVideoReadStream, status);
        return false;
    }
    if (!surface) {
        QEL_LOG(kVideoReadStream, "failed to create gworld, no error returned");
        return false;
    }
    pixelMap = QtSurfacePixels(surface);
    QtPixelsPrepare(pixelMap);
    status = QtDecompressStart(&sequence, request.description, request.data, request.dataSize, surface, nullptr,
                               nullptr, &matrix, kDecompressCopyMode, nullptr, 0, kDecompressAccuracy, nullptr);
    if (status != 0) {
        QEL_LOG_QT_FAILURE(kVideoReadStream, status);
        return false;
    }
    return true;
}

// Decompresses the fetched sample in decompression mode; in direct mode the
// sample's own bytes are the picture, with rows as its description says.
bool ContainerQuickTime::VideoStream::pictureSource(const QtImageDescription& description, PictureSource& source,
                                                   QtStatus& status)
{
    if (!surface) {
        source.bytes = request.data;
        source.size = request.data ? size_t(std::max(request.dataSize, 0)) : 0;
        sourceRowBytes = decodeFormat == kYvu9 ? yvu9RowBytes(source.size, properties.width, properties.height)
                                               : packedRowBytes(description, source.size);
        source.rowBytes = sourceRowBytes;
        source.frameBytes = size_t(frameSize);
        return true;
    }
    uint32_t frameFlags = 0;
    status = QtDecompressFrame(sequence, request.data, request.dataSize, 0, &frameFlags, nullptr);
    if (status != 0) {
        QEL_LOG_QT_FAILURE(kVideoReadStream, status);
        return false;
    }
    source.bytes = frameBuffer.lockData();
    frameBuffer.unlockData();
    source.size = frameBuffer.dataSize();
    source.rowBytes = sourceRowBytes;
    source.frameBytes = source.size;
    return true;
}

// The row bytes of a packed sample delivered as it is: its description's
// data size over the height, or the sample's own size when the description
// states none (a size of 0 would repeat the first row all down the frame).
int32_t ContainerQuickTime::VideoStream::packedRowBytes(const QtImageDescription& description,
                                                       size_t sampleSize) const
{
    const int64_t size = description.dataSize > 0 ? int64_t(description.dataSize) : int64_t(sampleSize);
    return int32_t(size / properties.height);
}

} // namespace Qel
