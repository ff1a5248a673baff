// Moving the read position: sync points, seeks, rewinds and speed changes.
#include "streams/VideoStream.h"

#include "plugin/ResultCodes.h"
#include "quicktime/QtOperations.h"
#include "support/Log.h"

namespace Qel {

// The search runs against the read direction (backwards from time in forward
// play), so that a seek lands on the sync sample from which reading reaches
// time. In forward play, where none lies before time (a picture track that
// starts after the movie's start: the runtime answers -1 before its first
// sync sample), it lands forward on the first sync sample, the first picture
// reading would show. Backward play keeps its failure past the last one.
int32_t ContainerQuickTime::VideoStream::getSyncPoint(int32_t speed, uint32_t time, uint32_t* syncTime)
{
    if (!syncTime || !track)
        return kResultFailure;
    if (time == 0) {
        *syncTime = 0;
        lastSyncPoint = 0;
        return kResultSuccess;
    }
    const QtTimeValue units = msToUnits(time);
    const int32_t againstReading = stepRate(-int64_t(speed));
    QtTimeValue found = nextSampleTime(kNextSyncSample, units, againstReading);
    // Searching from one unit back takes in a sync sample at time itself.
    if (found == -1 && againstReading < 0)
        found = nextSampleTime(kNextSyncSample, units - 1, 1);
    if (found == -1)
        return kResultFailure;
    *syncTime = unitsToMs(found);
    lastSyncPoint = found;
    QEL_LOG(kVideoGetSyncPoint, "QT video getSyncPoint: %u got: %u", time, *syncTime);
    return kResultSuccess;
}

int32_t ContainerQuickTime::VideoStream::seekStream(uint32_t time, uint32_t* actualTime, int32_t)
{
    QEL_LOG(kVideoSeekStream, "QT video seeking to: %u", time);
    uint32_t syncTime = 0;
    const int32_t status = getSyncPoint(readSpeed, time, &syncTime);
    if (status != kResultSuccess)
        return status;
    // Start from the sync sample itself: its whole milliseconds, converted
    // back, would name a time inside the sample before it.
    currentTime = lastSyncPoint;
    deliveredFinalSample = false;
    if (actualTime)
        *actualTime = syncTime;
    endOfStream = false;
    QEL_LOG(kVideoSeekStream, "QT video sook to t: %u", syncTime);
    return kResultSuccess;
}

int32_t ContainerQuickTime::VideoStream::rewindStream()
{
    currentTime = readSpeed > 0 ? 0 : movieDuration();
    deliveredFinalSample = false;
    return kResultSuccess;
}

// Turning back from the boundary that reading had reached makes the stream
// readable again: from the movie's start or end, or from the final sample
// delivered in the old direction, wherever that sample lies.
bool ContainerQuickTime::VideoStream::setReadSpeed(int32_t speed)
{
    const bool turning = (speed < 0) != (readSpeed < 0);
    if ((currentTime == 0 && speed > 0) || (currentTime == movieDuration() && speed < 0) ||
        (deliveredFinalSample && turning))
        endOfStream = false;
    readSpeed = speed;
    return true;
}

} // namespace Qel
