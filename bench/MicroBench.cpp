// Micro-benchmarks of the plug-in's hot paths: making and releasing chunks,
// the copy of a frame into a chunk, text conversion, a log call while
// logging is off, and whole reads through the module from synthetic movies
// that exercise each way a frame is produced (direct copy, padded rows,
// 'YVU9' to "YV12" conversion, decompression).
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "HostClocks.h"
#include "PluginMovie.h"
#include "media/BufferAllocator.h"
#include "plugin/ResultCodes.h"
#include "support/Log.h"
#include "support/TextConversion.h"

namespace Qel::Bench {

namespace {

constexpr size_t kHdFrameBytes = 1920 * 1080 * 2;

void chunkCreateRelease(benchmark::State& state)
{
    MediaBufferAllocator allocator;
    const auto bytes = uint32_t(state.range(0));
    for (auto _ : state) {
        MediaChunk* chunk = allocator.createChunk(new unsigned char[bytes], bytes);
        benchmark::DoNotOptimize(chunk);
        chunk->release();
    }
}
BENCHMARK(chunkCreateRelease)->Arg(128 * 1024)->Arg(kHdFrameBytes);

// What a stream does for every frame: a block, the copy, the chunk.
void copyIntoChunk(benchmark::State& state)
{
    MediaBufferAllocator allocator;
    const auto bytes = uint32_t(state.range(0));
    const std::vector<unsigned char> picture(bytes, 0x80);
    for (auto _ : state) {
        std::unique_ptr<unsigned char[]> block(new unsigned char[bytes]);
        std::memcpy(block.get(), picture.data(), bytes);
        MediaChunk* chunk = allocator.createChunk(block.release(), bytes);
        chunk->dataLength() = bytes;
        chunk->release();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}
BENCHMARK(copyIntoChunk)->Arg(640 * 480 * 2)->Arg(kHdFrameBytes);

void textConversion(benchmark::State& state)
{
    const std::string path = "/home/r\xC3\xA9gis/Films/\xE6\x98\xA0\xE7\x94\xBB/Harbour at dawn (1080p).mov";
    for (auto _ : state) {
        std::u16string wide = toWide(path);
        benchmark::DoNotOptimize(toUtf8(wide));
    }
}
BENCHMARK(textConversion);

void disabledLogCall(benchmark::State& state)
{
    unsetenv("QEL_LOG");
    for (auto _ : state)
        QEL_LOG(kVideoReadStream, "QT video buffer of %u bytes s: %u d: %u", 614400u, 40u, 33u);
}
BENCHMARK(disabledLogCall);

// A one-track synthetic movie of 30 samples in a file of its own.
class SyntheticMovie {
public:
    explicit SyntheticMovie(const std::string& video)
        : path((std::filesystem::temp_directory_path() /
                ("qel-bench-" + std::to_string(getpid()) + "-" + std::to_string(++made) + ".json"))
                   .string())
    {
        std::ofstream(path) << R"({"qelSyntheticMovie": 1, "timeScale": 600, "tracks": [{"type": "vide", "video": )"
                            << video << R"(, "samples": {"count": 30, "duration": 20}}]})";
    }
    ~SyntheticMovie() { std::filesystem::remove(path); }

    const std::string path;

private:
    static inline int made = 0;
};

// One frame per iteration, round and round the movie.
void readSynthetic(benchmark::State& state, const char* video)
{
    SyntheticMovie file(video);
    PluginMovie movie(file.path);
    Host::StoppedClock clock;
    StreamInterface* stream = movie.stream(PluginMovie::kVideoKind);
    if (!stream || stream->openStream(&clock) != kResultSuccess) {
        state.SkipWithError("the synthetic movie does not open");
        return;
    }
    int64_t bytes = 0;
    for (auto _ : state) {
        MediaChunk* chunk = nullptr;
        stream->readStream(&chunk);
        if (chunk) {
            bytes += chunk->dataSize();
            chunk->release();
        }
        if (!chunk || stream->isEndOfStream()) {
            uint32_t reached = 0;
            stream->seekStream(0, &reached, 0);
        }
    }
    stream->closeStream();
    state.SetBytesProcessed(bytes);
}
BENCHMARK_CAPTURE(readSynthetic, direct_yuvs, R"({"compression": "yuvs", "width": 640, "height": 480})");
BENCHMARK_CAPTURE(readSynthetic, padded_rows,
                  R"({"compression": "yuvs", "width": 640, "height": 480, "rowPadding": 64})");
BENCHMARK_CAPTURE(readSynthetic, yvu9_to_yv12, R"({"compression": "YVU9", "width": 640, "height": 480})");
BENCHMARK_CAPTURE(readSynthetic, decompressed, R"({"compression": "jpeg", "width": 640, "height": 480})");

} // namespace

} // namespace Qel::Bench

BENCHMARK_MAIN();
