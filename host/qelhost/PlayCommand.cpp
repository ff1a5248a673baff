// qelhost play MOVIE [--speed S] [--mode 1|2] [--load MS]: plays the
// activated streams against a real running clock and reports how the
// plug-in kept pace.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "CommandError.h"
#include "Commands.h"
#include "MovieSession.h"
#include "OpenStreams.h"
#include "Options.h"
#include "Player.h"
#include "StreamDescription.h"
#include "plugin/ResultCodes.h"

namespace Qel::Cli {

namespace {

const char kHelp[] =
    "usage: qelhost play MOVIE [--speed S] [--mode 1|2] [--load MS]\n"
    "Plays the activated streams against a running clock, reading them in\n"
    "pace with it, and reports the frames delivered, the frames skipped when\n"
    "the plug-in caught up with the clock, the frames presented late, and the\n"
    "audio/video offset.\n"
    "  --speed S   clock speed in thousandths (default 1000; negative plays\n"
    "              backwards from the end)\n"
    "  --mode M    1 every frame (default), 2 sync samples only\n"
    "  --load MS   busy work per presented frame, in milliseconds (default 0)\n";

// Opens the stream with the running clock and sets its speed and mode; a
// stream read backwards starts from the end.
void prepare(StreamInterface& stream, OpenStreams& streams, Host::RealClock& clock, const PlaySettings& settings)
{
    const int32_t opened = streams.open(stream, clock);
    if (opened != kResultSuccess)
        throw CommandError(kExitFailed, "the plug-in cannot open stream #" + std::to_string(stream.getStreamId()) +
                                            ": " + resultCodeText(opened));
    stream.setReadSpeed(settings.speed);
    // The audio stream refuses continuous mode backwards; it stays in the
    // mode it chose.
    stream.setReadMode(settings.mode);
    if (settings.speed < 0)
        stream.rewindStream();
}

void report(const PlayFigures& figures, const PlaySettings& settings, bool hasAudio, double tookSeconds)
{
    std::printf("played %.3f s of movie in %.3f s at speed %d, mode %d, load %u ms\n",
                settings.durationMs / 1000.0, tookSeconds, settings.speed, settings.mode, settings.loadMs);
    std::printf("video  %llu frames delivered, %llu %s, %llu late\n",
                static_cast<unsigned long long>(figures.framesDelivered),
                static_cast<unsigned long long>(figures.framesSkipped),
                settings.mode == 2 ? "passed over in sync-sample mode" : "skipped by catch-up",
                static_cast<unsigned long long>(figures.framesLate));
    if (!hasAudio)
        std::printf("audio  none\n");
    else if (figures.offsetCount == 0)
        std::printf("audio  %llu chunks, %.3f s; held back: %llu reads refused; A/V offset not measured\n",
                    static_cast<unsigned long long>(figures.audioChunks), figures.audioMs / 1000.0,
                    static_cast<unsigned long long>(figures.audioRefused));
    else
        std::printf("audio  %llu chunks, %.3f s; A/V offset mean %.1f ms, max %lld ms\n",
                    static_cast<unsigned long long>(figures.audioChunks), figures.audioMs / 1000.0,
                    figures.offsetSumMs / double(figures.offsetCount), static_cast<long long>(figures.offsetMaxMs));
    if (figures.endedEarly)
        std::printf("note   the streams had not ended when the clock passed the movie's end\n");
    if (figures.interrupted)
        std::printf("note   interrupted after %.3f s; the figures cover the part played\n", tookSeconds);
}

} // namespace

int runPlay(const Arguments& arguments)
{
    Options options(arguments, {{"--speed", true}, {"--mode", true}, {"--load", true}});
    if (options.helpRequested()) {
        std::cout << kHelp;
        return kExitSuccess;
    }
    PlaySettings settings;
    settings.speed = int32_t(options.integer("--speed", 1000, -100000, 100000));
    if (settings.speed == 0)
        throw CommandError(kExitUsage, "--speed must not be 0");
    settings.mode = int32_t(options.integer("--mode", 1, 1, 2));
    settings.loadMs = uint32_t(options.integer("--load", 0, 0, 10000));
    const std::string& moviePath = options.movie();

    MovieSession session;
    session.open(moviePath);
    StreamInterface* video = session.activatedStream(kVideoKind);
    StreamInterface* audio = session.activatedStream(kAudioKind);
    if (!video && !audio)
        throw CommandError(kExitFailed, "the plug-in activated no stream in " + moviePath);
    settings.durationMs = (video ? video : audio)->getDuration();

    const int32_t startMs = settings.speed < 0 ? int32_t(settings.durationMs) : 0;
    Host::RealClock clock(settings.speed, startMs);
    OpenStreams streams;
    for (StreamInterface* stream : {video, audio}) {
        if (stream)
            prepare(*stream, streams, clock, settings);
    }
    const auto started = std::chrono::steady_clock::now();
    const PlayFigures figures = Player(video, audio, clock, settings).run();
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    report(figures, settings, audio != nullptr, took);
    return figures.interrupted ? kExitInterrupted : kExitSuccess;
}

} // namespace Qel::Cli
