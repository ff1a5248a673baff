// Construction, destruction, the fixed answers of the stream interface,
// closing, and the conversions between host milliseconds and movie units.
#include "streams/VideoStream.h"

#include "plugin/ContainerHost.h"
#include "plugin/ResultCodes.h"
#include "quicktime/QtExportSource.h"
#include "quicktime/QtOperations.h"

namespace Qel {

namespace {
constexpr int32_t kVideoKind = 272;
constexpr uint32_t kVideoFormatKind = 1;
} // namespace

ContainerQuickTime::VideoStream::VideoStream(ContainerQuickTime* owner, int32_t index, QtTrack videoTrack)
    : StreamInterface(owner->getContainerId(), owner->containerHost->generateId(), 0),
      container(owner),
      format{0, 0, 0, kVideoFormatKind, 0},
      clock(nullptr),
      exporter(nullptr),
      propertyFunction(nullptr),
      dataFunction(nullptr),
      sourceContext(nullptr),
      sourceTimeScale(0),
      request{},
      lastDescriptionSeed(0),
      sequence(nullptr),
      surface(nullptr),
      pixelMap(nullptr),
      decodeFormat(0),
      track(videoTrack),
      trackIndex(index),
      currentTime(0),
      deliveredFinalSample(false),
      sourceRowBytes(0),
      outputRowBytes(0),
      frameSize(0),
      bitsPerPixel(0),
      decodingReady(false),
      lastSyncPoint(0)
{
}

// Untied from the container first, as the audio stream is.
ContainerQuickTime::VideoStream::~VideoStream()
{
    if (container)
        container->forgetDependent(this);
    closeStream();
    if (frameBuffer.dataSize() != 0) {
        delete[] frameBuffer.lockData();
        frameBuffer.unlockData();
    }
}

void ContainerQuickTime::VideoStream::releaseMovie()
{
    closeStream();
    track = nullptr;
}

void ContainerQuickTime::VideoStream::forgetContainer()
{
    container = nullptr;
}

uint32_t ContainerQuickTime::VideoStream::getDuration()
{
    return container ? container->durationMs : 0;
}

QtTimeValue ContainerQuickTime::VideoStream::movieDuration() const
{
    return container ? container->duration : 0;
}

bool ContainerQuickTime::VideoStream::queryOption(uint32_t, uint32_t, uint32_t, uint32_t)
{
    return false;
}

StreamFormat* ContainerQuickTime::VideoStream::getFormat()
{
    return &format;
}

Properties* ContainerQuickTime::VideoStream::getProperties()
{
    return &properties;
}

int32_t ContainerQuickTime::VideoStream::getKind()
{
    return kVideoKind;
}

int32_t ContainerQuickTime::VideoStream::closeStream()
{
    disposeExportSource();
    if (exporter) {
        QtComponentClose(exporter);
        exporter = nullptr;
    }
    releaseDecoding();
    return kResultSuccess;
}

void ContainerQuickTime::VideoStream::disposeExportSource()
{
    if (propertyFunction || dataFunction) {
        QtExportSourceDispose(exporter, propertyFunction, dataFunction, sourceContext);
        propertyFunction = nullptr;
        dataFunction = nullptr;
    }
}

// Stops the decompression sequence and disposes the surface; frameBuffer
// keeps its block until the next set-up or destruction.
void ContainerQuickTime::VideoStream::releaseDecoding()
{
    if (sequence) {
        QtDecompressStop(sequence);
        sequence = nullptr;
    }
    if (surface) {
        QtSurfaceDispose(surface);
        surface = nullptr;
    }
    pixelMap = nullptr;
    decodingReady = false;
}

QtTimeValue ContainerQuickTime::VideoStream::msToUnits(uint32_t ms) const
{
    const uint64_t product = uint64_t(int64_t(container->timeScale)) * uint64_t(ms);
    return QtTimeValue(uint32_t(product / 1000u));
}

// A time scale of 0 never reaches a stream: the container refuses such a
// movie when it opens it.
uint32_t ContainerQuickTime::VideoStream::unitsToMs(QtTimeValue units) const
{
    const uint64_t product = uint64_t(int64_t(units) * 1000);
    return uint32_t(product / uint64_t(int64_t(container->timeScale)));
}

} // namespace Qel
