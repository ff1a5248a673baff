#include "commands/Player.h"

#include <algorithm>
#include <cstdlib>
#include <set>
#include <thread>

#include "movie/HeldChunk.h"
#include "platform/Interruption.h"
#include "report/CommandError.h"
#include "plugin/ResultCodes.h"

namespace Qel::Cli {

namespace {

using Steady = std::chrono::steady_clock;

// Frames read ahead of the clock, as a host engine's queue holds them.
constexpr size_t kQueuedFrames = 8;
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
    preroll();
    clock.start();
    while (!(videoDone && queue.empty() && audioDone)) {
        if (interruptionRequested()) {
            figures.interrupted = true;
            break;
        }
        const int64_t now = clock.getTime();
        const bool busy = playOnce();
        if (pastTheEnd(now)) {
            figures.endedEarly = true;
            break;
        }
        if (!busy)
            std::this_thread::sleep_for(kIdleWait);
    }
    // The last picture stays up, and the audio plays out, until the clock
    // reaches the movie's end.
    while (!figures.endedEarly && !interruptionRequested() &&
           (forward() ? clock.getTime() < int64_t(settings.durationMs) : clock.getTime() > 0))
        std::this_thread::sleep_for(kIdleWait);
    clock.stop();
    figures.interrupted = figures.interrupted || interruptionRequested();
    figures.framesSkipped = framesNotDelivered();
    return figures;
}

// Before the clock starts (the streams see it stopped and never catch up):
// the queue filled, and the audio read to its lead.
void Player::preroll()
{
    while (!videoDone && queue.size() < kQueuedFrames)
        readFrame();
    while (!audioDone && !audioHeldBack() && audioWanted())
        readAudio();
}

// One step of the presentation loop: a due frame is presented first, else
// the queue topped up; then audio. Whether anything was done.
bool Player::playOnce()
{
    bool busy = false;
    const int64_t now = clock.getTime();
    if (!queue.empty() && due(queue.front(), now)) {
        presentFrame(now);
        busy = true;
    } else if (!videoDone && queue.size() < kQueuedFrames) {
        readFrame();
        busy = true;
    }
    if (!audioDone && audioWanted()) {
        readAudio();
        busy = true;
    }
    // Audio held back never ends by itself; it ends with the pictures.
    if (audioHeldBack() && videoDone && queue.empty())
        audioDone = true;
    return busy;
}

bool Player::due(const Frame& frame, int64_t now) const
{
    return forward() ? now >= int64_t(frame.start) : now < int64_t(frame.start) + frame.duration;
}

bool Player::audioWanted() const
{
    return audioHeldBack() ? Steady::now() >= nextAudioAttempt : audioEnd < clock.getTime() + kAudioLeadMs;
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
    queue.push_back({chunk.startTime(), chunk.duration()});
    timing.add(chunk.startTime(), chunk.duration());
    deliveredStarts.push_back(chunk.startTime());
    videoDone = video->isEndOfStream();
}

// The movie's frames, on the grid of its rate, that no delivered frame
// stands on: from its start to its end, or, when the user stopped early, to
// where the clock had come.
uint64_t Player::framesNotDelivered() const
{
    if (deliveredStarts.empty())
        return 0;
    std::set<int64_t> steps;
    for (uint32_t start : deliveredStarts)
        steps.insert(timing.stepsFromFirst(start));
    const int64_t reached = std::clamp<int64_t>(clock.getTime(), 0, settings.durationMs);
    const uint32_t fromMs = figures.interrupted && !forward() ? uint32_t(reached) : 0;
    const uint32_t toMs = figures.interrupted && forward() ? uint32_t(reached) : settings.durationMs;
    const int64_t first = timing.stepsFromFirst(fromMs);
    const int64_t end = timing.stepsFromFirst(toMs);
    const int64_t inMovie = std::count_if(steps.begin(), steps.end(),
                                          [&](int64_t step) { return step >= first && step < end; });
    return uint64_t(std::max<int64_t>(0, end - first - inMovie));
}

void Player::presentFrame(int64_t now)
{
    const Frame frame = queue.front();
    queue.pop_front();
    const int64_t start = frame.start;
    const int64_t end = start + frame.duration;
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
