// Choosing the next sample: catching up with the host clock, and the step
// to the sample after the current one in the read direction.
#include "streams/VideoStream.h"

#include <algorithm>

#include "quicktime/QtOperations.h"
#include "streams/HostClock.h"
#include "support/Log.h"

namespace Qel {

namespace {
constexpr int32_t kSyncSamplesOnly = 2;
constexpr uint32_t kForwardCatchUpLeadMs = 10;
} // namespace

void ContainerQuickTime::VideoStream::catchUpWithClock()
{
    if (!clock || !clock->isRunning())
        return;
    // A clock still before the start (a host that runs it from -11 ms) stands
    // at 0: its time taken unsigned would be a target near the end of time.
    const uint32_t now = uint32_t(std::max(clock->getTime(), int32_t(0)));
    const QtTimeValue before = currentTime;
    if (currentTime != 0 && readSpeed > 0)
        catchUpForward(msToUnits(now + kForwardCatchUpLeadMs));
    else if (currentTime != container->duration && readSpeed < 0)
        catchUpBackward(msToUnits(now));
    if (currentTime != before)
        deliveredFinalSample = false;
}

// A walk that runs out of sync samples before the target lands on the last
// one it found, so that the next read starts from there instead of walking
// the same way again.
void ContainerQuickTime::VideoStream::catchUpForward(QtTimeValue target)
{
    QtTimeValue landing = currentTime;
    while (landing < target) {
        QEL_LOG(kVideoReadStream, "QT video playing catch-up m_c = %ld c+10 = %ld", long(landing), long(target));
        const QtTimeValue next = nextSampleTime(kNextSyncSample, landing, 1);
        if (next == -1)
            break;
        landing = next;
    }
    currentTime = landing;
}

void ContainerQuickTime::VideoStream::catchUpBackward(QtTimeValue target)
{
    QtTimeValue landing = currentTime;
    while (landing > target) {
        QEL_LOG(kVideoReadStream, "QT video playing catch-up m_c = %ld c = %ld", long(landing), long(target));
        const QtTimeValue next = nextSampleTime(kNextSyncSample, landing, -1);
        if (next == -1)
            break;
        landing = next;
    }
    currentTime = landing;
}

// The step after `from` in the read direction: to the next sample, or to the
// next sync sample in mode 2.
QtTimeValue ContainerQuickTime::VideoStream::nextStepTime(QtTimeValue from) const
{
    const int16_t flags = readMode == kSyncSamplesOnly ? kNextSyncSample : kNextSample;
    return nextSampleTime(flags, from, stepRate(readSpeed));
}

QtTimeValue ContainerQuickTime::VideoStream::nextSampleTime(int16_t flags, QtTimeValue from, int32_t rate) const
{
    QtTimeValue next = -1;
    QtTrackNextTime(track, flags, from, rate, &next, nullptr);
    return next;
}

// The rate handed to the runtime for a speed in thousandths: whole multiples
// of normal speed, truncated toward zero, except that a slow backward speed
// (-999 to -1) still steps backwards, since the runtime searches forward at
// rate 0.
int32_t ContainerQuickTime::VideoStream::stepRate(int64_t speed)
{
    const int64_t rate = speed / 1000;
    if (rate == 0 && speed < 0)
        return -1;
    return int32_t(rate);
}

} // namespace Qel
