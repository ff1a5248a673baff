// qelhost play MOVIE [--speed S] [--mode 1|2] [--load MS]: plays the
// chosen streams against a real running clock and reports how the
// plug-in kept pace.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>

#include "commands/CommandLine.h"
#include "commands/Player.h"
#include "movie/MovieSession.h"
#include "movie/OpenStreams.h"
#include "movie/StreamDescription.h"
#include "report/CommandError.h"
#include "report/Counted.h"
#include "plugin/ResultCodes.h"

namespace Qel::Cli {

namespace {

const char kAbout[] =
    "Plays the activated streams (or those chosen) against a running clock,\n"
    "reading ahead of it as a host engine does, and reports the frames\n"
    "delivered, the frames the plug-in skipped to catch up with the clock,\n"
    "the frames presented late, and the audio/video offset.";

struct PlayOptions {
    std::string movie;
    PlaySettings play;
    StreamChoice streams;
};

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
    std::printf("played %.3f s of movie in %.3f s at speed %g, mode %d, load %u ms\n",
                settings.durationMs / 1000.0, tookSeconds, settings.speed / 1000.0, settings.mode, settings.loadMs);
    std::printf("video  %s delivered, %llu %s, %llu late\n", counted(figures.framesDelivered, "frame").c_str(),
                static_cast<unsigned long long>(figures.framesSkipped),
                settings.mode == 2 ? "passed over in sync-sample mode" : "skipped by catch-up",
                static_cast<unsigned long long>(figures.framesLate));
    const std::string chunks = counted(figures.audioChunks, "chunk");
    if (!hasAudio)
        std::printf("audio  none\n");
    else if (figures.offsetCount == 0)
        std::printf("audio  %s, %.3f s; held back: %s refused; A/V offset not measured\n", chunks.c_str(),
                    figures.audioMs / 1000.0, counted(figures.audioRefused, "read").c_str());
    else
        std::printf("audio  %s, %.3f s; A/V offset mean %.1f ms, max %lld ms\n", chunks.c_str(),
                    figures.audioMs / 1000.0, figures.offsetSumMs / double(figures.offsetCount),
                    static_cast<long long>(figures.offsetMaxMs));
    if (figures.endedEarly)
        std::printf("note   the streams had not ended when the clock passed the movie's end\n");
    if (figures.interrupted)
        std::printf("note   interrupted after %.3f s; the figures cover the part played\n", tookSeconds);
}

int runPlay(const PlayOptions& options, Verbosity verbosity)
{
    PlaySettings settings = options.play;
    const std::string& moviePath = options.movie;
    MovieSession session;
    session.open(moviePath);
    const ChosenStreams chosen = chooseStreams(session, options.streams, moviePath);
    StreamInterface* video = chosen.video;
    StreamInterface* audio = chosen.audio;
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
    if (verbosity != Verbosity::Quiet)
        report(figures, settings, audio != nullptr, took);
    return figures.interrupted ? kExitInterrupted : kExitSuccess;
}

} // namespace

Command addPlayCommand(CLI::App& qelhost, const Verbosity& verbosity)
{
    auto options = std::make_shared<PlayOptions>();
    CLI::App* app = addMovieCommand(qelhost, "play", "play against a running clock and report how it kept pace",
                                    kAbout, options->movie);
    app->add_option("--speed", options->play.speed,
                    "a multiple of normal speed: 1 (default), 1.5, 0.5; negative plays backwards from the end")
        ->type_name("SPEED")
        ->transform(asThousandths());
    app->add_option("--mode", options->play.mode, "1 every frame (default), 2 sync samples only")
        ->type_name("1|2")
        ->check(CLI::Range(1, 2).description(""));
    app->add_option("--load", options->play.loadMs, "busy work per presented frame, in milliseconds (default 0)")
        ->type_name("MS")
        ->check(CLI::Range(0, 10000).description(""));
    addStreamChoice(*app, options->streams, true);
    return {app, [options, &verbosity] { return runPlay(*options, verbosity); }};
}

} // namespace Qel::Cli
