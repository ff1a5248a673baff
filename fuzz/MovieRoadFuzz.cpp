// Arbitrary bytes as a movie file, driven the whole road through the
// plug-in module exactly as a host drives it: open, the title, every stream
// opened, then the operations that the input's last bytes choose (reads,
// seeks, rewinds, speeds both ways, both read modes, the clock running or
// stopped at chosen times, streams, the title and the movie closed and
// re-opened), and finally everything closed and released. Reads are
// bounded by the road itself, so no input runs for long.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

#include "MovieRoad.h"

namespace {

constexpr size_t kScriptBytes = 12;

// One file per fuzzing process, rewritten for every input and removed
// when the process ends.
struct MovieFile {
    const std::string path = "/tmp/qel-fuzz-road-" + std::to_string(getpid()) + ".mov";
    ~MovieFile() { std::remove(path.c_str()); }
};

const std::string& moviePath()
{
    static const MovieFile file;
    return file.path;
}

bool writeMovie(const uint8_t* data, size_t size)
{
    std::FILE* file = std::fopen(moviePath().c_str(), "wb");
    if (!file)
        return false;
    const bool written = std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && written;
}

} // namespace

// Loads the plug-in, and through one small movie the runtime and the logging
// library, before fuzzing starts: the engine counts coverage only in modules
// loaded by then.
extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    static const char kMovie[] = R"({"qelSyntheticMovie": 1, "tracks": []})";
    if (!writeMovie(reinterpret_cast<const uint8_t*>(kMovie), sizeof kMovie - 1))
        std::abort();
    if (!Qel::Reliability::runRoad(moviePath(), nullptr, 0).moduleLoaded)
        std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (!writeMovie(data, size))
        std::abort();
    const size_t scriptLength = size < kScriptBytes ? size : kScriptBytes;
    const Qel::Reliability::RoadOutcome outcome =
        Qel::Reliability::runRoad(moviePath(), data + size - scriptLength, scriptLength);
    if (!outcome.moduleLoaded)
        std::abort();
    return 0;
}
