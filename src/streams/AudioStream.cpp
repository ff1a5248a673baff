#include "streams/AudioStream.h"

#include "plugin/ContainerHost.h"
#include "plugin/ResultCodes.h"
#include "quicktime/QtOperations.h"

namespace Qel {

namespace {

constexpr int32_t kAudioKind = 0x120;
constexpr uint32_t kAudioFormatCode = 1;
constexpr uint32_t kAudioFormatKind = 2;
constexpr int32_t kRewindFlag = 1;

} // namespace

ContainerQuickTime::AudioStream::AudioStream(ContainerQuickTime* owner, int32_t index, QtTrack soundTrack)
    : StreamInterface(owner->getContainerId(), owner->containerHost->generateId(), 0),
      container(owner),
      clock(nullptr),
      format{kAudioFormatCode, 0, 0, kAudioFormatKind, 0},
      track(soundTrack),
      trackIndex(index),
      extraction(nullptr),
      description{},
      bufferList{},
      extractionFlags(0),
      framesPerRead(0),
      bytesPerSecond(0),
      bytePosition(0),
      fillUndelivered(false),
      trackEnabledByOpen(false)
{
}

// Untied from the container first, so that a close on another thread either
// has released this stream already or no longer sees it.
ContainerQuickTime::AudioStream::~AudioStream()
{
    if (container)
        container->forgetDependent(this);
    closeStream();
}

void ContainerQuickTime::AudioStream::releaseMovie()
{
    closeStream();
    track = nullptr;
}

void ContainerQuickTime::AudioStream::forgetContainer()
{
    container = nullptr;
}

uint32_t ContainerQuickTime::AudioStream::getDuration()
{
    return container ? container->durationMs : 0;
}

bool ContainerQuickTime::AudioStream::queryOption(uint32_t, uint32_t, uint32_t, uint32_t)
{
    return false;
}

StreamFormat* ContainerQuickTime::AudioStream::getFormat()
{
    return &format;
}

Properties* ContainerQuickTime::AudioStream::getProperties()
{
    return &properties;
}

int32_t ContainerQuickTime::AudioStream::getKind()
{
    return kAudioKind;
}

int32_t ContainerQuickTime::AudioStream::rewindStream()
{
    // The result of the seek is not passed on: rewinding always succeeds.
    uint32_t reached = 0;
    seekStream(readSpeed > 0 ? 0 : getDuration(), &reached, kRewindFlag);
    return kResultSuccess;
}

int32_t ContainerQuickTime::AudioStream::getSyncPoint(int32_t, uint32_t time, uint32_t* syncTime)
{
    // Every sample of PCM can be decoded on its own. An answer with nowhere
    // to go fails, as it does in the video stream, rather than claim success.
    if (!syncTime)
        return kResultFailure;
    *syncTime = time;
    return kResultSuccess;
}

int32_t ContainerQuickTime::AudioStream::closeStream()
{
    if (extraction) {
        QtExtractEnd(extraction);
        extraction = nullptr;
    }
    if (track && trackEnabledByOpen)
        QtTrackEnable(track, 0);
    trackEnabledByOpen = false;
    freeWorkingBlock();
    fillUndelivered = false;
    return kResultSuccess;
}

// The extraction mixes every sound track the movie enables. A track the file
// enables already plays in that mix, and closing leaves it enabled, so that
// the file's mix stays whole for the next extraction; a track it disables
// joins the mix while the stream is open.
void ContainerQuickTime::AudioStream::enableTrack()
{
    if (isTrackEnabled())
        return;
    QtTrackEnable(track, 1);
    trackEnabledByOpen = true;
}

bool ContainerQuickTime::AudioStream::isTrackEnabled() const
{
    return track && QtTrackEnabled(track) != 0;
}

void ContainerQuickTime::AudioStream::freeWorkingBlock()
{
    if (sampleBuffer.dataSize() == 0)
        return;
    delete[] sampleBuffer.lockData();
    sampleBuffer.unlockData();
    sampleBuffer.setData(nullptr, 0);
}

bool ContainerQuickTime::AudioStream::setReadSpeed(int32_t speed)
{
    if (speed == readSpeed)
        return true;
    if (speed < 0) {
        // Backwards, sound is not played: the stream only trails the clock.
        endOfStream = false;
        readMode = kReadModeSyncSamples;
    }
    readSpeed = speed;
    return true;
}

bool ContainerQuickTime::AudioStream::setReadMode(int32_t mode)
{
    if (mode == readMode)
        return true;
    if (readSpeed < 0 && mode == kReadModeContinuous)
        return false;
    readMode = mode;
    return true;
}

} // namespace Qel
