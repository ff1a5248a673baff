// The plug-in's side of scripts/bench.sh: one case per run, on one movie,
// through the real module as a host drives it, with a stopped clock (no
// catch-up: every sample is delivered). Prints "name value" lines.
//
//   bench_plugin forward FILE           frames per second, forwards
//   bench_plugin backward FILE          frames per second at speed -1000
//   bench_plugin audio FILE             seconds of sound per second
//   bench_plugin open FILE REPEATS      open to the first frame, median and
//                                       least seconds
//   bench_plugin seek FILE COUNT SPAN   seconds per seek and frame, to
//                                       COUNT times in [0, SPAN) ms
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "HostClocks.h"
#include "PluginMovie.h"
#include "media/MediaChunk.h"
#include "media/Properties.h"
#include "plugin/ResultCodes.h"

namespace Qel::Bench {

namespace {

struct ReadCount {
    int64_t chunks = 0;
    int64_t bytes = 0;
};

// Reads until the stream reports its end or fails; releases every chunk.
ReadCount readToEnd(StreamInterface& stream)
{
    ReadCount count;
    for (;;) {
        MediaChunk* chunk = nullptr;
        const int32_t result = stream.readStream(&chunk);
        if (chunk) {
            ++count.chunks;
            count.bytes += chunk->dataSize();
            chunk->release();
        }
        if (result != kResultSuccess || !chunk || stream.isEndOfStream())
            return count;
    }
}

StreamInterface& openedStream(const PluginMovie& movie, int32_t kind, HostClock& clock)
{
    StreamInterface* stream = movie.stream(kind);
    if (!stream || stream->openStream(&clock) != kResultSuccess)
        throw std::runtime_error("the movie has no stream of kind " + std::to_string(kind) + " that opens");
    return *stream;
}

void readFrames(const std::string& path, int32_t speed)
{
    PluginMovie movie(path);
    Host::StoppedClock clock;
    StreamInterface& video = openedStream(movie, PluginMovie::kVideoKind, clock);
    if (speed < 0) {
        video.setReadSpeed(speed);
        video.rewindStream();
    }
    const double cpuStart = cpuSeconds();
    const Steady::time_point start = Steady::now();
    const ReadCount count = readToEnd(video);
    const double seconds = secondsSince(start);
    const double cpu = cpuSeconds() - cpuStart;
    video.closeStream();
    report("frames", double(count.chunks));
    report("frame_bytes", count.chunks ? double(count.bytes) / double(count.chunks) : 0);
    report("seconds", seconds);
    report("fps", double(count.chunks) / seconds);
    report("fps_cpu", double(count.chunks) / cpu);
    report("peak_mib", peakResidentMiB());
}

void readSound(const std::string& path)
{
    PluginMovie movie(path);
    Host::StoppedClock clock;
    StreamInterface& audio = openedStream(movie, PluginMovie::kAudioKind, clock);
    const auto* properties = static_cast<const AudioProperties*>(audio.getProperties());
    const double bytesPerSecond = double(properties->sampleRate) * properties->channels * 2;
    const double cpuStart = cpuSeconds();
    const Steady::time_point start = Steady::now();
    const ReadCount count = readToEnd(audio);
    const double seconds = secondsSince(start);
    const double cpu = cpuSeconds() - cpuStart;
    audio.closeStream();
    report("audio_seconds", double(count.bytes) / bytesPerSecond);
    report("seconds", seconds);
    report("speed", double(count.bytes) / bytesPerSecond / seconds);
    report("speed_cpu", double(count.bytes) / bytesPerSecond / cpu);
    report("peak_mib", peakResidentMiB());
}

// From the container's open to the first frame in the host's hands; the
// first round, which also starts the runtime and fills the file cache, is
// not counted.
void openToFirstFrame(const std::string& path, int repeats)
{
    std::vector<double> times;
    std::vector<double> cpuTimes;
    for (int round = 0; round <= repeats; ++round) {
        const double cpuStart = cpuSeconds();
        const Steady::time_point start = Steady::now();
        PluginMovie movie(path);
        Host::StoppedClock clock;
        StreamInterface& video = openedStream(movie, PluginMovie::kVideoKind, clock);
        MediaChunk* chunk = nullptr;
        if (video.readStream(&chunk) != kResultSuccess || !chunk)
            throw std::runtime_error("no first frame");
        const double seconds = secondsSince(start);
        const double cpu = cpuSeconds() - cpuStart;
        chunk->release();
        video.closeStream();
        if (round > 0) {
            times.push_back(seconds);
            cpuTimes.push_back(cpu);
        }
    }
    report("median_seconds", quantile(times, 0.5));
    report("median_cpu_seconds", quantile(cpuTimes, 0.5));
    report("least_seconds", quantile(times, 0));
    report("least_cpu_seconds", quantile(cpuTimes, 0));
}

void seekAndRead(const std::string& path, int count, uint32_t spanMs)
{
    PluginMovie movie(path);
    Host::StoppedClock clock;
    StreamInterface& video = openedStream(movie, PluginMovie::kVideoKind, clock);
    std::vector<double> times;
    std::vector<double> cpuTimes;
    for (uint32_t target : seekTimes(spanMs, count)) {
        const double cpuStart = cpuSeconds();
        const Steady::time_point start = Steady::now();
        uint32_t reached = 0;
        MediaChunk* chunk = nullptr;
        if (video.seekStream(target, &reached, 0) != kResultSuccess || video.readStream(&chunk) != kResultSuccess ||
            !chunk)
            throw std::runtime_error("seek to " + std::to_string(target) + " ms delivered no frame");
        chunk->release();
        times.push_back(secondsSince(start));
        cpuTimes.push_back(cpuSeconds() - cpuStart);
    }
    video.closeStream();
    report("median_seconds", quantile(times, 0.5));
    report("median_cpu_seconds", quantile(cpuTimes, 0.5));
    report("p95_seconds", quantile(times, 0.95));
}

int run(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s forward|backward|audio|open|seek FILE [N]\n", argv[0]);
        return 2;
    }
    const std::string mode = argv[1];
    const std::string path = argv[2];
    const int n = argc > 3 ? std::atoi(argv[3]) : 5;
    if (mode == "forward")
        readFrames(path, 1000);
    else if (mode == "backward")
        readFrames(path, -1000);
    else if (mode == "audio")
        readSound(path);
    else if (mode == "open")
        openToFirstFrame(path, n);
    else if (mode == "seek")
        seekAndRead(path, n, argc > 4 ? uint32_t(std::atol(argv[4])) : 1000);
    else
        return 2;
    return 0;
}

} // namespace

} // namespace Qel::Bench

int main(int argc, char** argv)
{
    try {
        return Qel::Bench::run(argc, argv);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "bench_plugin: %s\n", error.what());
        return 1;
    }
}
