// qelhost decode MOVIE [-o DIR|FILE|-] [-y|-n] [--from TIME] [--to TIME]
// [STREAMS]: reads the chosen streams with the clock stopped, as fast as they come, and
// writes the audio as DIR/NAME.wav and the video as DIR/NAME.y4m (ARGB
// video as DIR/NAME-000001.png, ...). NAME is the movie's file name without
// its extension.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <utility>
#include <vector>

#include "commands/CommandLine.h"
#include "commands/DecodeSinks.h"
#include "movie/MovieSession.h"
#include "movie/OpenStreams.h"
#include "output/OutputFile.h"
#include "output/OutputTargets.h"
#include "platform/Interruption.h"
#include "report/CommandError.h"
#include "report/Progress.h"
#include "HostClocks.h"
#include "plugin/ResultCodes.h"

namespace Qel::Cli {

namespace {

const char kAbout[] =
    "Reads the streams the plug-in activated (or those chosen), as fast as\n"
    "they come, and writes the audio as a WAV file and the video as a\n"
    "YUV4MPEG2 file (YUY2 and UYVY as 4:2:2, YV12 as 4:2:0) or, for ARGB\n"
    "video, as PNG frames. -o takes a folder (default: the current one), a\n"
    "NAME.wav file for the audio alone or NAME.y4m for the video, or - for\n"
    "standard output (one stream). Times are seconds (62.5), milliseconds\n"
    "(500ms) or clock times (1:02.5, 00:01:02.500).";

struct DecodeSettings {
    std::string movie;
    std::string output = ".";
    bool overwrite = false;
    DecodeRange range;
    StreamChoice streams;
};

// A stream that could not be decoded, and why; the others go on.
struct Skipped {
    std::string message;
    ExitCode code;
};

// Opens the stream with the stopped clock, seeks to the start of the range
// and makes its sink.
std::unique_ptr<DecodeSink> makeSink(StreamInterface& stream, OpenStreams& streams, Host::StoppedClock& clock,
                                     const std::string& path, const OutputRules& rules, DecodeRange range)
{
    const int32_t opened = streams.open(stream, clock);
    if (opened != kResultSuccess)
        throw StreamFailed("the plug-in cannot open stream #" + std::to_string(stream.getStreamId()) + ": " +
                           resultCodeText(opened));
    if (range.fromMs > 0) {
        uint32_t reached = 0;
        const int32_t sought = stream.seekStream(range.fromMs, &reached, 0);
        if (sought != kResultSuccess)
            throw StreamFailed("the plug-in cannot seek stream #" + std::to_string(stream.getStreamId()) + " to " +
                               std::to_string(range.fromMs) + " ms: " + resultCodeText(sought));
    }
    const StreamDescription description = describeStream(stream);
    if (description.kind == kAudioKind)
        return std::make_unique<AudioSink>(stream, description, path, rules, range);
    return std::make_unique<VideoSink>(stream, description, path, rules, range);
}

// Reads from the stream that is furthest behind, as a host that presents
// them together would, until every stream has ended or the user asks to
// stop. A failing stream stops alone; the others go on.
void readAll(std::vector<std::unique_ptr<DecodeSink>>& sinks, Progress& progress, std::vector<Skipped>& failed)
{
    while (!interruptionRequested()) {
        DecodeSink* behind = nullptr;
        for (auto& sink : sinks) {
            if (!sink->done() && (!behind || sink->reachedMs() < behind->reachedMs()))
                behind = sink.get();
        }
        if (!behind)
            return;
        try {
            behind->readOnce();
        } catch (const StreamFailed& failure) {
            behind->stop();
            failed.push_back({std::string(failure.what()) + "; the output holds what came before", kExitFailed});
        }
        progress.update(behind->reachedMs());
    }
}

// A movie whose every stream ends this far before the movie's end lacks
// the rest: a file cut short, which the runtime reads up to its last whole
// sample. Short of this, the streams' own rounding and padding.
constexpr uint32_t kMostShortfallMs = 200;

// The warning for a movie whose streams all end before it does, or empty.
std::string shortfallWarning(const std::vector<std::unique_ptr<DecodeSink>>& sinks, uint32_t endMs)
{
    uint32_t contentEnd = 0;
    for (const auto& sink : sinks)
        contentEnd = std::max(contentEnd, sink->contentEndMs());
    if (contentEnd + kMostShortfallMs >= endMs)
        return std::string();
    char text[200];
    std::snprintf(text, sizeof text, "the streams end at %.3f s, before the %.3f s the movie declares; the file "
                  "may be cut short, and the output holds what it has", contentEnd / 1000.0, endMs / 1000.0);
    return text;
}

// The streams to decode, each with its output path.
std::vector<std::pair<StreamInterface*, std::string>> streamsToWrite(const ChosenStreams& streams,
                                                                     const OutputTargets& targets)
{
    std::vector<std::pair<StreamInterface*, std::string>> chosen;
    for (int32_t kind : {kVideoKind, kAudioKind}) {
        StreamInterface* stream = kind == kVideoKind ? streams.video : streams.audio;
        const std::string& path = kind == kVideoKind ? targets.video : targets.audio;
        if (stream && !path.empty())
            chosen.emplace_back(stream, path);
    }
    if (chosen.size() > 1 && targets.standardOutput)
        throw CommandError(kExitUsage, "standard output takes one stream, and this movie has video and sound; "
                                       "leave one out with --no-video or --no-audio");
    return chosen;
}

// What a decode works through: a sink for each stream being written, the
// streams that could not be decoded or failed, and the longest duration.
struct Decoding {
    std::vector<std::unique_ptr<DecodeSink>> sinks;
    std::vector<Skipped> skipped;
    uint32_t durationMs = 0;
};

// A sink for each stream to write. A stream that cannot be decoded is
// skipped and named later; an output that may not be written, or a line
// that cannot be followed, stops the command. Throws when no sink is left.
Decoding openSinks(const std::vector<std::pair<StreamInterface*, std::string>>& toWrite, OpenStreams& streams,
                   Host::StoppedClock& clock, const OutputRules& rules, DecodeRange range,
                   const std::string& moviePath)
{
    Decoding decoding;
    for (const auto& [stream, path] : toWrite) {
        try {
            decoding.sinks.push_back(makeSink(*stream, streams, clock, path, rules, range));
            decoding.durationMs = std::max(decoding.durationMs, stream->getDuration());
        } catch (const CommandError& error) {
            if (error.exitCode() == kExitOutputExists || error.exitCode() == kExitUsage)
                throw;
            decoding.skipped.push_back({std::string(error.what()) + "; not decoded", error.exitCode()});
        }
    }
    if (decoding.sinks.empty()) {
        if (!decoding.skipped.empty())
            throw CommandError(decoding.skipped.front().code, decoding.skipped.front().message);
        throw CommandError(kExitFailed, "the plug-in activated no stream in " + moviePath + " to write");
    }
    return decoding;
}

// Completes every output, then reports each stream and the time taken
// against the stretch of movie covered, unless quiet.
void finishSinks(const std::vector<std::unique_ptr<DecodeSink>>& sinks,
                 std::chrono::steady_clock::time_point started, bool quiet, std::ostream& report)
{
    uint32_t coveredMs = 0;
    for (const auto& sink : sinks) {
        sink->finish();
        coveredMs = std::max(coveredMs, sink->coveredMs());
        if (!quiet)
            report << sink->summary() << "\n";
    }
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    char line[160];
    std::snprintf(line, sizeof line, "took   %.3f s for %.3f s of movie, %.1fx real time\n", took,
                  coveredMs / 1000.0, took > 0 ? coveredMs / 1000.0 / took : 0.0);
    if (!quiet)
        report << line;
}

// Names on standard error each stream that was not decoded or failed, and
// gives the exit code: an interruption's, else the first failure's.
int conclude(const std::vector<Skipped>& skipped)
{
    for (const Skipped& skip : skipped)
        std::cerr << "qelhost decode: " << skip.message << "\n";
    if (interruptionRequested()) {
        std::cerr << "qelhost decode: interrupted; the files above are complete up to there\n";
        return kExitInterrupted;
    }
    return skipped.empty() ? kExitSuccess : skipped.front().code;
}

int runDecode(const DecodeSettings& settings, Verbosity verbosity)
{
    const DecodeRange range = settings.range;
    if (range.toMs <= range.fromMs)
        throw CommandError(kExitUsage, "--to must come after --from");
    const std::string& moviePath = settings.movie;
    const OutputTargets targets = outputTargets(settings.output, moviePath);
    MovieSession session;
    session.open(moviePath);
    const OutputRules rules = outputRules(settings.overwrite, moviePath);
    makeOutputFolder(targets.folder);

    Host::StoppedClock clock;
    OpenStreams streams;
    const ChosenStreams chosen = chooseStreams(session, settings.streams, moviePath);
    Decoding decoding = openSinks(streamsToWrite(chosen, targets), streams, clock, rules, range, moviePath);
    const uint32_t durationMs = decoding.durationMs;

    const auto started = std::chrono::steady_clock::now();
    {
        Progress progress("decoding", std::min(durationMs, range.fromMs), std::min(durationMs, range.toMs),
                          verbosity != Verbosity::Quiet);
        readAll(decoding.sinks, progress, decoding.skipped);
    }
    finishSinks(decoding.sinks, started, verbosity == Verbosity::Quiet,
                targets.standardOutput ? std::cerr : std::cout);
    // Only a run over every stream of the movie can tell: a track may end
    // before the movie does.
    if (decoding.skipped.empty() && !interruptionRequested() && decoding.sinks.size() == session.streams().size()) {
        const std::string warning = shortfallWarning(decoding.sinks, std::min(durationMs, range.toMs));
        if (!warning.empty())
            decoding.skipped.push_back({warning, kExitFailed});
    }
    return conclude(decoding.skipped);
}

} // namespace

Command addDecodeCommand(CLI::App& qelhost, const Verbosity& verbosity)
{
    auto settings = std::make_shared<DecodeSettings>();
    CLI::App* app = addMovieCommand(qelhost, "decode", "write the streams as WAV and Y4M (or PNG frames)",
                                    kAbout, settings->movie);
    app->add_option("-o,--output", settings->output,
                    "a folder for the output files, a NAME.wav or NAME.y4m file, or - for standard output")
        ->type_name("DIR|FILE|-");
    addOverwriteChoice(*app, settings->overwrite);
    app->add_option("--from", settings->range.fromMs, "start here; video starts with the frame showing then")
        ->type_name("TIME")
        ->transform(asMilliseconds());
    app->add_option("--to", settings->range.toMs, "stop here")->type_name("TIME")->transform(asMilliseconds());
    addStreamChoice(*app, settings->streams, true);
    return {app, [settings, &verbosity] { return runDecode(*settings, verbosity); }};
}

} // namespace Qel::Cli
