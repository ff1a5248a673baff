// Opening: the movie-export component, the export source over the whole
// movie, and the output format and frame geometry chosen from a probe sample.
#include "streams/VideoStream.h"

#include <cstring>
#include <limits>

#include "plugin/ResultCodes.h"
#include "quicktime/QtExportSource.h"
#include "quicktime/QtFailure.h"
#include "quicktime/QtOperations.h"
#include "support/Log.h"

namespace Qel {

namespace {

constexpr int32_t kProbeSampleCount = 0;

constexpr QtComponentDescription kMovieExporter = {
    fourCc('s', 'p', 'i', 't'), fourCc('M', 'o', 'o', 'V'), fourCc('a', 'p', 'p', 'l'), 0x88000, 0x88000};

struct OutputFormat {
    char text[4];
    int32_t bitsPerPixel;
};

} // namespace

int32_t ContainerQuickTime::VideoStream::openStream(HostClock* hostClock)
{
    if (!track)
        return kResultFailure;
    // Opening an open stream starts over rather than leaking what it holds.
    closeStream();
    clock = hostClock;
    readSpeed = 1000;
    readMode = 1;
    currentTime = 0;
    deliveredFinalSample = false;
    endOfStream = false;
    if (!openExportSource() || !probeSample()) {
        disposeExportSource();
        return kResultFailure;
    }
    QEL_LOG(kVideoOpenStream, "QT video format: %s size: %ux%u", reinterpret_cast<const char*>(&format),
            unsigned(properties.width), unsigned(properties.height));
    return kResultSuccess;
}

bool ContainerQuickTime::VideoStream::openExportSource()
{
    const QtComponent component = QtComponentFind(nullptr, &kMovieExporter);
    const QtStatus openStatus = QtComponentOpen(component, &exporter);
    if (openStatus != 0) {
        QEL_LOG_QT_FAILURE(kVideoOpenStream, openStatus);
        return false;
    }
    int32_t scale = 0;
    const QtLongStatus status = QtExportSourceCreate(exporter, kVideoMedia, &scale, container->movie, track, 0,
                                                     container->duration, &propertyFunction, &dataFunction,
                                                     &sourceContext);
    if (status != 0) {
        QEL_LOG_QT_FAILURE(kVideoOpenStream, status);
        return false;
    }
    // A runtime that hands back no usable scale is taken to speak the movie's.
    sourceTimeScale = scale > 0 ? scale : container->timeScale;
    if (!dataFunction) {
        QEL_LOG_QT_FAILURE(kVideoOpenStream, kQtParamError);
        return false;
    }
    return true;
}

bool ContainerQuickTime::VideoStream::probeSample()
{
    const QtStatus status = fetchSample(container->duration / 2, kProbeSampleCount);
    if (status != 0) {
        QEL_LOG_QT_FAILURE(kVideoOpenStream, status);
        return false;
    }
    if (request.descriptionType != kVideoMedia) {
        QEL_LOG_QT_FAILURE(kVideoOpenStream, kQtParamError);
        return false;
    }
    QtImageDescription description;
    if (!readDescription(description))
        return false;
    properties.width = description.width;
    properties.height = description.height;
    chooseOutputFormat(description);
    return computeGeometry(description);
}

// The first matching row wins; a sample type with no direct output format is
// decompressed to 'yuvs' and delivered as "YUY2".
void ContainerQuickTime::VideoStream::chooseOutputFormat(const QtImageDescription& description)
{
    const QtOSType type = description.compressionType;
    decodeFormat = type;
    OutputFormat output = {{'Y', 'U', 'Y', '2'}, 16};
    if (type == kYvu9)
        output = {{'Y', 'V', '1', '2'}, 12};
    else if (type == kYuvs)
        output = {{'Y', 'U', 'Y', '2'}, 16};
    else if (type == k2vuy)
        output = {{'U', 'Y', 'V', 'Y'}, 16};
    else if (type == kArgb32 || (type == kRaw && description.depth == 32))
        output = {{'A', 'R', 'G', 'B'}, 32};
    else
        decodeFormat = kYuvs;
    std::memcpy(&format.code, output.text, sizeof output.text);
    format.terminator = 0;
    bitsPerPixel = output.bitsPerPixel;
}

// A description without a positive width and height, or whose frame would
// not fit 32 bits, describes no picture the stream can deliver: the open
// fails as for a parameter error rather than dividing by zero.
bool ContainerQuickTime::VideoStream::computeGeometry(const QtImageDescription& description)
{
    const int64_t width = description.width;
    const int64_t height = description.height;
    const int64_t bytes = width * height * bitsPerPixel / 8;
    if (width <= 0 || height <= 0 || bytes > std::numeric_limits<int32_t>::max()) {
        QEL_LOG_QT_FAILURE(kVideoOpenStream, kQtParamError);
        return false;
    }
    frameSize = int32_t(bytes);
    sourceRowBytes = description.dataSize / int32_t(height);
    outputRowBytes = int32_t(description.compressionType == kYvu9 ? width : width * bitsPerPixel / 8);
    return true;
}

} // namespace Qel
