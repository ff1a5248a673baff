// Plays the streams against a running clock, as a host's presentation loop
// does: video frames are read ahead into a small queue (filled before the
// clock starts, then topped up between presentations), each is presented
// when the clock reaches it, audio is read to stay a little ahead of the
// clock, and an optional load of busy work per presented frame makes the
// host slow. Reading ahead keeps the stream ahead of the clock, so a load
// below real time never makes the plug-in catch up; only a host slower
// than the movie drains the queue and lets the clock overtake the stream.
//
// Figures:
// - delivered: frames the stream handed over.
// - skipped: frames of the movie the stream did not deliver, counted on
//   the grid of its frame rate (learnt from the delivered frames' times)
//   from the movie's start to its end. In continuous mode only catch-up
//   passes over frames; in sync-sample mode the mode itself does, so there
//   the count means both.
// - late: frames presented after their own time had passed.
// - A/V offset: at each presented frame, the audio time (the clock, or the
//   end of the audio read so far if that is behind) minus the picture's
//   time (the clock while the frame's time covers it, else the frame's
//   edge). Audio is held back by the plug-in while playing backwards or in
//   sync-sample mode; no offset is measured then.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <vector>

#include "movie/FrameTiming.h"
#include "HostClocks.h"
#include "streams/StreamInterface.h"

namespace Qel::Cli {

struct PlaySettings {
    int32_t speed = 1000;   // thousandths; negative plays backwards
    int32_t mode = 1;       // 1 continuous, 2 sync samples only
    uint32_t loadMs = 0;    // busy work per presented frame
    uint32_t durationMs = 0;
};

struct PlayFigures {
    uint64_t framesDelivered = 0;
    uint64_t framesSkipped = 0;
    uint64_t framesLate = 0;
    uint64_t audioChunks = 0;
    uint64_t audioMs = 0;
    uint64_t audioRefused = 0;   // reads refused while audio is held back
    uint64_t offsetCount = 0;
    double offsetSumMs = 0;
    int64_t offsetMaxMs = 0;     // largest in size
    bool endedEarly = false;     // the clock ran well past the end first
    bool interrupted = false;    // the user stopped it (Ctrl-C)
};

class Player {
public:
    // Either stream may be null. Both must be open with `clock`, which the
    // player starts.
    Player(StreamInterface* video, StreamInterface* audio, Host::RealClock& clock, PlaySettings settings);

    PlayFigures run();

private:
    struct Frame {
        uint32_t start;
        uint32_t duration;
    };

    bool forward() const { return settings.speed > 0; }
    bool audioHeldBack() const { return settings.speed < 0 || settings.mode == 2; }
    bool due(const Frame& frame, int64_t now) const;
    bool audioWanted() const;
    void preroll();
    bool playOnce();
    void readFrame();
    void presentFrame(int64_t now);
    void readAudio();
    bool pastTheEnd(int64_t now) const;
    uint64_t framesNotDelivered() const;

    StreamInterface* video;
    StreamInterface* audio;
    Host::RealClock& clock;
    PlaySettings settings;
    PlayFigures figures;

    bool videoDone;
    bool audioDone;
    std::deque<Frame> queue;       // read, not yet presented
    FrameTiming timing;            // of every delivered frame
    std::vector<uint32_t> deliveredStarts;
    int64_t audioEnd = 0;          // end of the audio read so far (ms)
    std::chrono::steady_clock::time_point nextAudioAttempt{};  // while held back
};

} // namespace Qel::Cli
