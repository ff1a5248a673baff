#include "Player.h"

#include <algorithm>
#include <cstdlib>
#include <thread>

#include "CommandError.h"
#include "HeldChunk.h"
#include "Interruption.h"
#include "plugin/ResultCodes.h"

namespace Qel::Cli {

namespace {

using Steady = std::chrono::steady_clock;

// Audio is read while less than this much of it lies ahead of the clock.
constexpr int64_t kAudioLeadMs = 300;
// While the plug-in holds audio back, the host keeps asking at this pace.
constexpr auto kHeldBackRetry = std::chrono::milliseconds(40);
// Streams that have not ended this long after the clock passed the movie's
// end never will.
constexpr int64_t kEndGraceMs = 5000;
constexpr auto kIdleWait = std::chrono::milliseconds(2);

void busyWork(uint32_t ms)
{
    const Steady::time_point until = Steady::now() + std::chrono::milliseconds(ms);
    volatile uint64_t spin = 0;
    while (Steady::now() < until)
        spin = spin + 1;
}

} // namespace

Player::Player(StreamInterface* video, StreamInterface* audio, Host::RealClock& clock, PlaySettings settings)
    : video(video), audio(audio), clock(clock), settings(settings), videoDone(!video), audioDone(!audio)
{
}

PlayFigures Player::run()
{
    clock.start();
    while (!(videoDone && !framePending && audioDone)) {
        if (interruptionRequested()) {
            figures.interrupted = true;
            break;
        }
        const int64_t now = clock.getTime();
        bool busy = false;
        if (!videoDone && !framePending) {
            readFrame();
            busy = true;
        }
        const int64_t frameNow = clock.getTime();
        if (framePending && (forward() ? frameNow >= pending.start : frameNow < pending.start + pending.duration)) {
            presentFrame(frameNow);
            busy = true;
        }
        if (!audioDone) {
            const bool wanted = audioHeldBack() ? Steady::now() >= nextAudioAttempt
                                                : audioEnd < clock.getTime() + kAudioLeadMs;
            if (wanted) {
                readAudio();
                busy = true;
            }
        }
        // Audio held back never ends by itself; it ends with the pictures.
        if (audioHeldBack() && videoDone && !framePending)
            audioDone = true;
        if (pastTheEnd(now)) {
            figures.endedEarly = true;
            break;
        }
        if (!busy)
            std::this_thread::sleep_for(kIdleWait);
    }
    // The last picture stays up, and the audio plays out, until the clock
    // reaches the movie's end.
    while (!figures.endedEarly && !interruptionRequested() && (forward() ? clock.getTime() < int64_t(settings.durationMs) : clock.getTime() > 0))
        std::this_thread::sleep_for(kIdleWait);
    clock.stop();
    return figures;
}

void Player::readFrame()
{
    MediaChunk* received = nullptr;
    const int32_t status = video->readStream(&received);
    HeldChunk chunk(received);
    if (status != kResultSuccess)
        throw CommandError(kExitFailed, std::string("the video stream failed: ") + resultCodeText(status));
    if (!chunk) {
        videoDone = true;
        return;
    }
    ++figures.framesDelivered;
    pending = {chunk.startTime(), chunk.duration()};
    framePending = true;
    countGap(pending);
    videoDone = video->isEndOfStream();
}

void Player::countGap(const Frame& frame)
{
    if (hasPrevious) {
        const int64_t gap = forward() ? int64_t(frame.start) - (int64_t(previous.start) + previous.duration)
                                      : int64_t(previous.start) - (int64_t(frame.start) + frame.duration);
        const int64_t step = std::max<int64_t>(1, forward() ? previous.duration : frame.duration);
        if (gap > 0)
            figures.framesSkipped += uint64_t(std::max<int64_t>(1, (gap + step / 2) / step));
    }
    previous = frame;
    hasPrevious = true;
}

void Player::presentFrame(int64_t now)
{
    framePending = false;
    const int64_t start = pending.start;
    const int64_t end = start + pending.duration;
    const bool late = forward() ? now >= end : now < start;
    if (late)
        ++figures.framesLate;
    if (audio && !audioHeldBack()) {
        const int64_t pictureTime = std::clamp<int64_t>(now, start, std::max(start, end - 1));
        const int64_t audioTime = std::min(now, audioEnd);
        const int64_t offset = audioTime - pictureTime;
        ++figures.offsetCount;
        figures.offsetSumMs += double(offset);
        if (std::llabs(offset) > std::llabs(figures.offsetMaxMs))
            figures.offsetMaxMs = offset;
    }
    if (settings.loadMs)
        busyWork(settings.loadMs);
}

void Player::readAudio()
{
    MediaChunk* received = nullptr;
    const int32_t status = audio->readStream(&received);
    HeldChunk chunk(received);
    if (status != kResultSuccess) {
        if (audio->isEndOfStream()) {
            audioDone = true;
            return;
        }
        if (!audioHeldBack())
            throw CommandError(kExitFailed, std::string("the audio stream failed: ") + resultCodeText(status));
        ++figures.audioRefused;
        nextAudioAttempt = Steady::now() + kHeldBackRetry;
        return;
    }
    if (!chunk)
        return;
    ++figures.audioChunks;
    figures.audioMs += chunk.duration();
    audioEnd = chunk.endTime();
}

bool Player::pastTheEnd(int64_t now) const
{
    return forward() ? now > int64_t(settings.durationMs) + kEndGraceMs : now < -kEndGraceMs;
}

} // namespace Qel::Cli
