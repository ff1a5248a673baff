// qelhost decode MOVIE [-o DIR|FILE|-] [-y|-n] [--from MS] [--to MS]: reads
// the activated streams with the clock stopped, as fast as they come, and
// writes the audio as DIR/NAME.wav and the video as DIR/NAME.y4m (ARGB
// video as DIR/NAME-000001.png, ...). NAME is the movie's file name without
// its extension.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <vector>

#include "CommandError.h"
#include "Commands.h"
#include "DecodeSinks.h"
#include "HostClocks.h"
#include "Interruption.h"
#include "MovieSession.h"
#include "OpenStreams.h"
#include "Options.h"
#include "OutputTargets.h"
#include "Progress.h"
#include "plugin/ResultCodes.h"

namespace Qel::Cli {

namespace {

const char kHelp[] =
    "usage: qelhost decode MOVIE [-o DIR|FILE|-] [-y|-n] [--from MS] [--to MS]\n"
    "Reads the streams the plug-in activated, as fast as they come, and\n"
    "writes the audio as a WAV file and the video as a YUV4MPEG2 file (YUY2\n"
    "and UYVY as 4:2:2, YV12 as 4:2:0) or, for ARGB video, as PNG frames.\n"
    "  -o DIR     folder for the output files (default: the current folder)\n"
    "  -o FILE    a NAME.wav file takes the audio alone, NAME.y4m the video\n"
    "  -o -       standard output, for a movie with one stream\n"
    "  -y         replace existing output files\n"
    "  -n         never replace an existing file (the default)\n"
    "  --from MS  start at this time; video starts with the frame showing then\n"
    "  --to MS    stop at this time\n";

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

DecodeRange rangeFrom(const Options& options)
{
    DecodeRange range;
    range.fromMs = uint32_t(options.integer("--from", 0, 0, UINT32_MAX - 1));
    range.toMs = uint32_t(options.integer("--to", UINT32_MAX, 1, UINT32_MAX));
    if (range.toMs <= range.fromMs)
        throw CommandError(kExitUsage, "--to must come after --from");
    return range;
}

// The streams to decode, each with its output path.
std::vector<std::pair<StreamInterface*, std::string>> chooseStreams(const MovieSession& session,
                                                                    const OutputTargets& targets)
{
    std::vector<std::pair<StreamInterface*, std::string>> chosen;
    for (int32_t kind : {kVideoKind, kAudioKind}) {
        StreamInterface* stream = session.activatedStream(kind);
        const std::string& path = kind == kVideoKind ? targets.video : targets.audio;
        if (stream && !path.empty())
            chosen.emplace_back(stream, path);
    }
    if (chosen.size() > 1 && targets.standardOutput)
        throw CommandError(kExitUsage, "standard output takes one stream, and this movie has video and sound; "
                                       "name a NAME.wav or NAME.y4m file with -o instead");
    return chosen;
}

} // namespace

int runDecode(const Arguments& arguments)
{
    Options options(arguments, {{"-o", true}, {"-y", false}, {"-n", false}, {"--from", true}, {"--to", true}});
    if (options.helpRequested()) {
        std::cout << kHelp;
        return kExitSuccess;
    }
    if (options.has("-y") && options.has("-n"))
        throw CommandError(kExitUsage, "-y and -n contradict each other");
    const DecodeRange range = rangeFrom(options);
    const std::string& moviePath = options.movie();
    const OutputTargets targets = outputTargets(options.text("-o", "."), moviePath);
    MovieSession session;
    session.open(moviePath);
    const OutputRules rules = outputRules(options.has("-y"), moviePath);
    if (!targets.folder.empty()) {
        if (const int error = Files::createFolders(targets.folder))
            throw CommandError(kExitFailed, "cannot create the folder " + targets.folder + " (" +
                                                Files::errorText(error) + ")");
    }

    Host::StoppedClock clock;
    OpenStreams streams;
    std::vector<std::unique_ptr<DecodeSink>> sinks;
    std::vector<Skipped> skipped;
    uint32_t durationMs = 0;
    for (const auto& [stream, path] : chooseStreams(session, targets)) {
        try {
            sinks.push_back(makeSink(*stream, streams, clock, path, rules, range));
            durationMs = std::max(durationMs, stream->getDuration());
        } catch (const CommandError& error) {
            if (error.exitCode() == kExitOutputExists || error.exitCode() == kExitUsage)
                throw;
            skipped.push_back({std::string(error.what()) + "; not decoded", error.exitCode()});
        }
    }
    if (sinks.empty()) {
        if (!skipped.empty())
            throw CommandError(skipped.front().code, skipped.front().message);
        throw CommandError(kExitFailed, "the plug-in activated no stream in " + moviePath + " to write");
    }
    std::ostream& report = targets.standardOutput ? std::cerr : std::cout;

    const auto started = std::chrono::steady_clock::now();
    {
        Progress progress("decoding", std::min(durationMs, range.toMs) - std::min(durationMs, range.fromMs));
        readAll(sinks, progress, skipped);
    }
    uint32_t coveredMs = 0;
    for (auto& sink : sinks) {
        sink->finish();
        coveredMs = std::max(coveredMs, sink->coveredMs());
        report << sink->summary() << "\n";
    }
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    char line[160];
    std::snprintf(line, sizeof line, "took   %.3f s for %.3f s of movie, %.1fx real time\n", took,
                  coveredMs / 1000.0, took > 0 ? coveredMs / 1000.0 / took : 0.0);
    report << line;
    for (const Skipped& skip : skipped)
        std::cerr << "qelhost decode: " << skip.message << "\n";
    if (interruptionRequested()) {
        std::cerr << "qelhost decode: interrupted; the files above are complete up to there\n";
        return kExitInterrupted;
    }
    return skipped.empty() ? kExitSuccess : skipped.front().code;
}

} // namespace Qel::Cli
