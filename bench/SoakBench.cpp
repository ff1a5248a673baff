// A host that runs for hours: one container plays, seeks and catches up
// through many movies, one after the other, with a running clock that starts
// before zero and overtakes the last sync sample. It holds chunks and streams
// past each movie's close, and a last set past the container itself. It
// reports whether resident memory and open descriptors stay flat.
//
//   bench_soak SECONDS MOVIES FOLDER
//
// The movies are synthetic (the stand-in runtime's documents), made in FOLDER
// on first use: varied pictures, sync-sample spacing, sound rates and channel
// counts, and every tenth one in two languages. Prints "name value" lines and
// exits with 1 when memory grew by more than 8 MiB after the first pass, or
// descriptors were left open.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "HostClocks.h"
#include "HostEvents.h"
#include "HostLocation.h"
#include "PluginModule.h"
#include "RecordingContainerHost.h"
#include "RecordingPluginHost.h"
#include "ReliabilitySupport.h"
#include "media/MediaChunk.h"
#include "media/StandardAllocator.h"
#include "plugin/ContainerInterface.h"
#include "plugin/Plugin.h"
#include "plugin/ResultCodes.h"
#include "streams/StreamInterface.h"

namespace Qel::Bench {
namespace {

constexpr size_t kResidentGrowthLimitKiB = 8 * 1024;

std::string soundTrack(int rate, int channels, int seconds, bool enabled)
{
    return R"({"type": "soun", "enabled": )" + std::string(enabled ? "true" : "false") +
           R"(, "audio": {"sampleRate": )" + std::to_string(rate) + R"(, "channels": )" + std::to_string(channels) +
           R"(, "frames": )" + std::to_string(rate * seconds) + "}}";
}

// Movie `index`: 2 to 6 seconds at 600 units per second.
std::string movieDocument(int index)
{
    std::mt19937 random{unsigned(index)};
    const int seconds = 2 + int(random() % 5);
    const int frames = seconds * 25;
    const int rates[] = {22050, 44100, 48000};
    const int channels[] = {1, 2, 6};
    std::string tracks = R"({"type": "vide", "video": {"compression": "yuvs", "width": )" +
                         std::to_string(16 * (1 + random() % 8)) + R"(, "height": )" +
                         std::to_string(16 * (1 + random() % 6)) + R"(}, "samples": {"count": )" +
                         std::to_string(frames) + R"(, "duration": 24, "syncEvery": )" +
                         std::to_string(1 + random() % 30) + "}}";
    const int rate = rates[random() % 3];
    if (index % 10 == 0)
        tracks += "," + soundTrack(rate, 2, seconds, false);
    tracks += "," + soundTrack(rate, channels[random() % 3], seconds, true);
    return R"({"qelSyntheticMovie": 1, "timeScale": 600, "tracks": [)" + tracks + "]}";
}

std::vector<std::string> makeMovies(const std::string& folder, int count)
{
    std::filesystem::create_directories(folder);
    std::vector<std::string> paths;
    for (int index = 0; index < count; ++index) {
        const std::string path = (std::filesystem::absolute(folder) / ("soak-" + std::to_string(index) + ".mov")).string();
        if (!std::filesystem::exists(path))
            std::ofstream(path) << movieDocument(index);
        paths.push_back(path);
    }
    return paths;
}

// Keeps the streams the container removes until the soak lets them go, as a
// host that still plays out a movie it is closing does.
class SoakHost : public Host::RecordingContainerHost {
    QEL_DESTRUCTOR_SLOT(SoakHost)
public:
    explicit SoakHost(Host::HostEventLog& log) : RecordingContainerHost(log) {}
    ~SoakHost() { destroyRetired(); }

    void addStream(StreamInterface* stream) override { current.push_back(stream); }
    void removeStream(uint64_t streamId) override
    {
        for (auto it = current.begin(); it != current.end(); ++it)
            if ((*it)->getStreamId() == streamId) {
                retired.push_back(*it);
                current.erase(it);
                return;
            }
    }
    void activateStream(uint64_t streamId, uint32_t) override
    {
        for (StreamInterface* stream : current)
            if (stream->getStreamId() == streamId)
                activated.push_back(stream);
    }
    void destroyRetired()
    {
        for (StreamInterface* stream : retired)
            Qel::destroy(stream);
        retired.clear();
    }

    std::vector<StreamInterface*> current;
    std::vector<StreamInterface*> activated;

private:
    std::vector<StreamInterface*> retired;
};

// Reads one chunk; the last one of each stream is held, the one before given back.
void readInto(StreamInterface* stream, MediaChunk*& held)
{
    MediaChunk* chunk = nullptr;
    if (stream->readStream(&chunk) != kResultSuccess || !chunk)
        return;
    if (held)
        held->release();
    held = chunk;
}

// One movie: its activated streams played against a clock that starts at
// -11 ms, runs three times faster than they read, is sought at random, and
// ends past the movie's end. The chunks last read stay in `held`.
void playMovie(ContainerInterface& container, SoakHost& host, const std::string& path, std::mt19937& random,
               std::vector<MediaChunk*>& held)
{
    Host::HostLocation location = Host::HostLocation::fromPath(path);
    if (container.open(&location) != kResultSuccess)
        throw std::runtime_error("cannot open " + path);
    host.current.clear();
    host.activated.clear();
    List<uint64_t> titles = callByValue(container, &ContainerInterface::getTitles);
    container.openTitle(titles.head->value);
    Host::ScriptedClock clock;
    std::vector<StreamInterface*> streams = host.activated;
    held.assign(streams.size(), nullptr);
    for (StreamInterface* stream : streams)
        stream->openStream(&clock);
    const uint32_t duration = streams.empty() ? 0 : streams[0]->getDuration();
    clock.set(true, -11);
    for (int step = 0; step < 60; ++step) {
        if (step % 20 == 19) {
            uint32_t reached = 0;
            const uint32_t target = duration ? uint32_t(random() % duration) : 0;
            for (StreamInterface* stream : streams)
                stream->seekStream(target, &reached, 0);
            clock.setTime(int32_t(target));
        }
        for (size_t at = 0; at < streams.size(); ++at)
            readInto(streams[at], held[at]);
        clock.setTime(step == 50 ? int32_t(duration + 500) : int32_t(clock.getTime() + 120));
    }
    for (StreamInterface* stream : streams)
        stream->closeStream();
    container.closeTitle(false);
    container.close();
}

void releaseAll(std::vector<MediaChunk*>& chunks)
{
    for (MediaChunk* chunk : chunks)
        if (chunk)
            chunk->release();
    chunks.clear();
}

int runSoak(double seconds, const std::vector<std::string>& movies)
{
    Host::PluginModule module;
    if (!module.loaded())
        throw std::runtime_error("cannot load the plug-in: " + module.error());
    Host::HostEventLog events;
    Host::RecordingPluginHost pluginHost(events);
    SoakHost host(events);
    Plugin* plugin = nullptr;
    module.getPlugin()(&pluginHost, &plugin);
    void* view = nullptr;
    String<char> name("com.ombrix.flowvane.interface.container", &StandardAllocator<char>::instance());
    if (!plugin || plugin->queryInterface(name, &view) != kQueryFound)
        throw std::runtime_error("the plug-in offers no container interface");
    auto& container = *static_cast<ContainerInterface*>(view);
    container.initialize(&host, 1);

    std::mt19937 random(29);
    std::vector<MediaChunk*> held, previous;
    size_t played = 0, residentStart = 0, handlesStart = 0, residentPeak = 0;
    const auto start = std::chrono::steady_clock::now();
    const auto elapsed = [&] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(); };
    while (elapsed() < seconds || played < movies.size()) {
        playMovie(container, host, movies[played % movies.size()], random, held);
        // The movie before's chunks and streams outlived its close until now.
        releaseAll(previous);
        host.destroyRetired();
        previous.swap(held);
        // The host's record of the identifiers it issued would grow for ever.
        events.clear();
        if (++played == movies.size()) {
            residentStart = Reliability::residentKiB();
            handlesStart = Reliability::openHandles();
        }
        residentPeak = std::max(residentPeak, Reliability::residentKiB());
    }
    // The last chunks outlive the container.
    plugin->dropReference();
    releaseAll(previous);
    const size_t residentEnd = Reliability::residentKiB();
    const size_t handlesEnd = Reliability::openHandles();
    std::printf("movies %zu\nseconds %.1f\nresident_start_kib %zu\nresident_end_kib %zu\nresident_peak_kib %zu\n"
                "handles_start %zu\nhandles_end %zu\n",
                played, elapsed(), residentStart, residentEnd, residentPeak, handlesStart, handlesEnd);
    return residentEnd <= residentStart + kResidentGrowthLimitKiB && handlesEnd <= handlesStart ? 0 : 1;
}

} // namespace
} // namespace Qel::Bench

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s SECONDS MOVIES FOLDER\n", argv[0]);
        return 2;
    }
    try {
        const auto movies = Qel::Bench::makeMovies(argv[3], std::atoi(argv[2]));
        return Qel::Bench::runSoak(std::atof(argv[1]), movies);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "bench_soak: %s\n", error.what());
        return 1;
    }
}
