// qelhost decode MOVIE [-o DIR] [--from MS] [--to MS]: reads the activated
// streams with the clock stopped, as fast as they come, and writes the
// audio as DIR/NAME.wav and the video as DIR/NAME.y4m (ARGB video as
// DIR/NAME-000001.png, ...). NAME is the movie's file name without its
// extension.
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
#include "MovieSession.h"
#include "OpenStreams.h"
#include "Options.h"
#include "Progress.h"
#include "plugin/ResultCodes.h"

namespace Qel::Cli {

namespace {

const char kHelp[] =
    "usage: qelhost decode MOVIE [-o DIR] [--from MS] [--to MS]\n"
    "Reads the streams the plug-in activated, as fast as they come, and\n"
    "writes the audio as a WAV file and the video as a YUV4MPEG2 file (YUY2\n"
    "and UYVY as 4:2:2, YV12 as 4:2:0) or, for ARGB video, as PNG frames.\n"
    "  -o DIR     folder for the output files (default: the current folder)\n"
    "  --from MS  start at this time; video starts with the frame showing then\n"
    "  --to MS    stop at this time\n";

// Opens the stream with the stopped clock, seeks to the start of the range
// and makes its sink.
std::unique_ptr<DecodeSink> makeSink(StreamInterface& stream, OpenStreams& streams, Host::StoppedClock& clock,
                                     const std::string& pathStem, DecodeRange range)
{
    const int32_t opened = streams.open(stream, clock);
    if (opened != kResultSuccess)
        throw CommandError(kExitFailed, "the plug-in cannot open stream #" + std::to_string(stream.getStreamId()) +
                                            ": " + resultCodeText(opened));
    if (range.fromMs > 0) {
        uint32_t reached = 0;
        const int32_t sought = stream.seekStream(range.fromMs, &reached, 0);
        if (sought != kResultSuccess)
            throw CommandError(kExitFailed, "the plug-in cannot seek stream #" +
                                                std::to_string(stream.getStreamId()) + " to " +
                                                std::to_string(range.fromMs) + " ms: " + resultCodeText(sought));
    }
    const StreamDescription description = describeStream(stream);
    if (description.kind == kAudioKind)
        return std::make_unique<AudioSink>(stream, description, pathStem + ".wav", range);
    return std::make_unique<VideoSink>(stream, description, pathStem, range);
}

// Reads from the stream that is furthest behind, as a host that presents
// them together would, until every stream has ended.
void readAll(std::vector<std::unique_ptr<DecodeSink>>& sinks, Progress& progress)
{
    for (;;) {
        DecodeSink* behind = nullptr;
        for (auto& sink : sinks) {
            if (!sink->done() && (!behind || sink->reachedMs() < behind->reachedMs()))
                behind = sink.get();
        }
        if (!behind)
            return;
        behind->readOnce();
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

} // namespace

int runDecode(const Arguments& arguments)
{
    Options options(arguments, {{"-o", true}, {"--from", true}, {"--to", true}});
    if (options.helpRequested()) {
        std::cout << kHelp;
        return kExitSuccess;
    }
    const DecodeRange range = rangeFrom(options);
    const std::string& moviePath = options.movie();
    const std::filesystem::path folder = options.text("-o", ".");
    MovieSession session;
    session.open(moviePath);

    std::error_code error;
    std::filesystem::create_directories(folder, error);
    const std::string pathStem = (folder / std::filesystem::path(moviePath).stem()).string();
    Host::StoppedClock clock;
    OpenStreams streams;
    std::vector<std::unique_ptr<DecodeSink>> sinks;
    uint32_t durationMs = 0;
    for (int32_t kind : {kVideoKind, kAudioKind}) {
        if (StreamInterface* stream = session.activatedStream(kind)) {
            sinks.push_back(makeSink(*stream, streams, clock, pathStem, range));
            durationMs = stream->getDuration();
        }
    }
    if (sinks.empty())
        throw CommandError(kExitFailed, "the plug-in activated no stream in " + moviePath);

    const auto started = std::chrono::steady_clock::now();
    {
        Progress progress("decoding", std::min(durationMs, range.toMs) - std::min(durationMs, range.fromMs));
        readAll(sinks, progress);
    }
    uint32_t coveredMs = 0;
    for (auto& sink : sinks) {
        sink->finish();
        coveredMs = std::max(coveredMs, sink->coveredMs());
        std::cout << sink->summary() << "\n";
    }
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("took   %.3f s for %.3f s of movie, %.1fx real time\n", took, coveredMs / 1000.0,
                took > 0 ? coveredMs / 1000.0 / took : 0.0);
    return kExitSuccess;
}

} // namespace Qel::Cli
