// Reading: one sample per call, fetched through the export source and
// delivered as one frame in a chunk stamped in host milliseconds.
#include "streams/VideoStream.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>

#include "media/BufferAllocator.h"
#include "plugin/ResultCodes.h"
#include "quicktime/QtFailure.h"
#include "quicktime/QtOperations.h"
#include "support/Log.h"
#include "support/OutOfMemoryGuard.h"

namespace Qel {

namespace {
constexpr int32_t kRequestRecordSize = 56;
constexpr int32_t kSamplesPerRead = 1;
} // namespace

// Out of memory for the chunk, the read fails with 0x80100001 and no chunk;
// currentTime still names the sample it was about to deliver, so the next
// read delivers it. (A frame's own memory is asked for without throwing, and
// its failure is logged like a runtime failure.)
int32_t ContainerQuickTime::VideoStream::readStream(MediaChunk** chunk)
{
    if (!chunk)
        return kResultFailure;
    *chunk = nullptr;
    return unlessOutOfMemory([this, chunk] { return readFrame(chunk); }, [] { return kResultFailure; });
}

int32_t ContainerQuickTime::VideoStream::readFrame(MediaChunk** chunk)
{
    // Closed, or never opened: there is no export source to read from.
    if (!dataFunction)
        return failRead(kQtParamError);
    catchUpWithClock();
    QtTimeValue next = nextStepTime(currentTime);
    if (deliveredFinalSample) {
        if (next == -1)
            return giveUp();
        // Turned round, or a mode with more samples: move on from the sample
        // already delivered.
        currentTime = next;
        deliveredFinalSample = false;
        next = nextStepTime(currentTime);
    }

    QtStatus status = 0;
    PictureSource source;
    if (!fetchPicture(source, status))
        return failRead(status);
    // A time where no sample starts (the movie's end read backwards, a time
    // before the first sample) answers the neighbouring sample, which is the
    // one the step lands on: step past it so that it is delivered once.
    if (next != -1 && next == request.actualTime)
        next = nextStepTime(next);

    MediaChunk* frame = deliverFrame(source);
    if (!frame)
        return failRead(kQtOutOfMemory);
    *chunk = frame;
    // Both ends of the read direction: the sample at 0 read backwards, the
    // one at the movie's end read forwards, and the last sample that has no
    // successor. The chunk is delivered all the same.
    if ((currentTime == 0 && readSpeed < 0) || (currentTime == container->duration && readSpeed > 0) ||
        next == -1)
        markEndOfStream(next);
    // The final sample's own time, not the time asked for (which may lie
    // before the first sample, or at the movie's end read backwards): a
    // later read moves on from the sample delivered, never back onto it.
    deliveredFinalSample = next == -1;
    currentTime = deliveredFinalSample ? request.actualTime : next;
    position = frame->startTime + frame->duration;
    QEL_LOG(kVideoReadStream, "QT video buffer of %u bytes s: %u d: %u", frame->dataLength(), frame->startTime,
            frame->duration);
    return kResultSuccess;
}

// Fetches the sample at currentTime, remakes the decoding set-up when its
// description is new, and finds its picture. On failure status holds the
// status to report.
bool ContainerQuickTime::VideoStream::fetchPicture(PictureSource& source, QtStatus& status)
{
    status = fetchSample(currentTime, kSamplesPerRead);
    if (status != 0) {
        QEL_LOG_QT_FAILURE(kVideoReadStream, status);
        return false;
    }
    status = kQtParamError;
    if (request.descriptionType != kVideoMedia) {
        QEL_LOG_QT_FAILURE(kVideoReadStream, status);
        return false;
    }
    QtImageDescription description;
    if (!readDescription(description))
        return false;
    const bool sameDescription = decodingReady && request.descriptionSeed == lastDescriptionSeed;
    if (!sameDescription && !prepareDecoding(description, status))
        return false;
    return pictureSource(description, source, status);
}

// The request is made in the source's time scale and its answer brought
// back to movie units. A movie unit t spans the source times up to, not
// including, the first one of unit t + 1: asking for the last of them finds
// the sample that covers unit t, even one that starts within the unit (a
// start that the movie's scale truncates). The sample's time comes back as
// the movie unit that holds it, its duration as the distance to the unit
// that holds its end.
QtStatus ContainerQuickTime::VideoStream::fetchSample(QtTimeValue time, int32_t sampleCount)
{
    const int64_t movieScale = container->timeScale;
    request = QtSampleRequest{};
    request.recordSize = kRequestRecordSize;
    request.trackId = trackIndex;
    request.sourceTimeScale = sourceTimeScale;
    request.requestedTime = sourceTimeScale == movieScale ? time : lastSourceTimeIn(time);
    request.requestedSampleCount = sampleCount;
    request.durationPerSample = 1;
    const QtStatus status = dataFunction(sourceContext, &request);
    if (status != 0 || sourceTimeScale == movieScale)
        return status;
    const int64_t end = int64_t(request.actualTime) + request.durationPerSample;
    request.actualTime = sourceToMovieUnits(request.actualTime);
    request.durationPerSample = sourceToMovieUnits(end) - request.actualTime;
    return status;
}

QtTimeValue ContainerQuickTime::VideoStream::lastSourceTimeIn(QtTimeValue movieUnit) const
{
    const int64_t next = (int64_t(movieUnit) + 1) * sourceTimeScale;
    const int64_t firstOfNext = next / container->timeScale + (next % container->timeScale != 0 ? 1 : 0);
    return QtTimeValue(std::clamp<int64_t>(firstOfNext - 1, 0, INT32_MAX));
}

QtTimeValue ContainerQuickTime::VideoStream::sourceToMovieUnits(int64_t sourceTime) const
{
    const int64_t units = sourceTime * container->timeScale / sourceTimeScale;
    return QtTimeValue(std::clamp<int64_t>(units, INT32_MIN, INT32_MAX));
}

// Copies the description that the fetched sample's handle leads to; false
// when there is none.
bool ContainerQuickTime::VideoStream::readDescription(QtImageDescription& description) const
{
    if (!request.description || !*request.description)
        return false;
    std::memcpy(&description, *request.description, sizeof description);
    return true;
}

// Null when the frame's memory cannot be had: a damaged movie can claim a
// picture of a gigabyte, and the failure must not leave through the host's
// call as an exception.
MediaChunk* ContainerQuickTime::VideoStream::deliverFrame(const PictureSource& source)
{
    std::unique_ptr<unsigned char[]> block(container->allocator->newBlock(source.frameBytes));
    if (!block)
        return nullptr;
    fillFrame(block.get(), source);
    MediaChunk* frame = container->allocator->createChunk(block.get(), uint32_t(source.frameBytes));
    block.release();
    frame->dataLength() = uint32_t(source.frameBytes);
    frame->startTime = unitsToMs(request.actualTime);
    frame->duration = unitsToMs(request.durationPerSample);
    return frame;
}

void ContainerQuickTime::VideoStream::markEndOfStream(QtTimeValue next)
{
    QEL_LOG(kVideoReadStream,
            "QT video EOS got next time of %ld/%u, current time of %ld/%u, duration %ld/%u, read speed %d",
            long(next), unitsToMs(next), long(currentTime), unitsToMs(currentTime), long(container->duration),
            unitsToMs(container->duration), readSpeed);
    endOfStream = true;
}

int32_t ContainerQuickTime::VideoStream::giveUp()
{
    QEL_LOG(kVideoReadStream, "QT video got next time of -1 from: %ld/%u, giving up.", long(currentTime),
            unitsToMs(currentTime));
    endOfStream = true;
    return kResultSuccess;
}

int32_t ContainerQuickTime::VideoStream::failRead(QtStatus status)
{
    QEL_LOG(kVideoReadStream, "QT video readStream failing with: %d", int(status));
    return kResultFailure;
}

} // namespace Qel
