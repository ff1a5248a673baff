#include "MovieRoad.h"

#include <vector>

#include "HostClocks.h"
#include "HostEvents.h"
#include "HostLocation.h"
#include "PluginModule.h"
#include "RecordingContainerHost.h"
#include "RecordingPluginHost.h"
#include "media/List.h"
#include "media/MediaChunk.h"
#include "media/StandardAllocator.h"
#include "media/String.h"
#include "plugin/ContainerInterface.h"
#include "plugin/Plugin.h"
#include "plugin/ResultCodes.h"
#include "streams/StreamInterface.h"

namespace Qel::Reliability {

namespace {

constexpr char kContainerInterfaceName[] = "com.ombrix.flowvane.interface.container";

// "Read to the end" stops after this many chunks or bytes in one road, so
// that a movie claiming a billion frames or huge pictures still ends soon.
constexpr size_t kMaxChunksToEnd = 512;
constexpr uint64_t kMaxRoadBytes = 64ull << 20;

constexpr int32_t kSpeeds[8] = {1000, 2000, 500, 0, -1000, -2000, -500, 3000};

enum Operation : uint8_t {
    kRead,
    kReadToEnd,
    kSeek,
    kRewind,
    kSetSpeed,
    kSetMode,
    kSetClock,
    kReopenStream,
    kSyncPoint,
    kReopenTitle,
    kReopenMovie,
    kCloseTitleLeavingOpen,
    kQueries,
    kCloseStream,
    kReadEveryStream,
    kSeekOddTime,
};

class Road {
public:
    Road() : pluginHost(events), containerHost(events) {}

    ~Road()
    {
        if (plugin)
            plugin->dropReference();
    }

    Road(const Road&) = delete;
    Road& operator=(const Road&) = delete;

    RoadOutcome run(const Location& where, const uint8_t* script, size_t length);

private:
    bool createContainer();
    int32_t openMovie();
    int32_t openTitleAndStreams();
    void perform(uint8_t byte);
    void performOnStream(Operation operation, uint8_t argument, StreamInterface* stream);
    bool readOnce(StreamInterface* stream);
    void readToEnd(StreamInterface* stream);
    void finish();

    RoadOutcome outcome;
    Host::ScriptedClock clock;  // outlives every stream
    Host::HostEventLog events;
    Host::RecordingPluginHost pluginHost;
    Host::RecordingContainerHost containerHost;
    const Location* location = nullptr;
    Plugin* plugin = nullptr;
    ContainerInterface* container = nullptr;
    uint64_t titleId = 0;
};

bool Road::createContainer()
{
    Host::PluginModule& module = roadModule();
    if (!module.loaded())
        return false;
    module.getPlugin()(&pluginHost, &plugin);
    void* view = nullptr;
    String<char> name(kContainerInterfaceName, &StandardAllocator<char>::instance());
    if (!plugin || plugin->queryInterface(name, &view) != kQueryFound)
        return false;
    container = static_cast<ContainerInterface*>(view);
    container->initialize(&containerHost, 7);
    List<uint64_t> titles = callByValue(*container, &ContainerInterface::getTitles);
    titleId = titles.head ? titles.head->value : 0;
    return true;
}

int32_t Road::openMovie()
{
    std::lock_guard<std::mutex> serialised(roadOpenLock());
    return container->open(location);
}

int32_t Road::openTitleAndStreams()
{
    const int32_t result = container->openTitle(titleId);
    for (StreamInterface* stream : containerHost.streams()) {
        if (stream->openStream(&clock) == kResultSuccess)
            ++outcome.streamsOpened;
        else
            ++outcome.failedOperations;
    }
    return result;
}

bool Road::readOnce(StreamInterface* stream)
{
    if (outcome.bytes >= kMaxRoadBytes)
        return false;
    MediaChunk* chunk = nullptr;
    if (stream->readStream(&chunk) != kResultSuccess)
        ++outcome.failedOperations;
    if (!chunk)
        return false;
    // Every delivered byte is touched, so that a chunk claiming more bytes
    // than its block holds shows up under the sanitizers and valgrind.
    volatile unsigned sum = 0;
    const unsigned char* bytes = chunk->lockData();
    const uint32_t length = chunk->dataLength();
    for (uint32_t at = 0; at < length; ++at)
        sum += bytes[at];
    chunk->unlockData();
    chunk->release();
    ++outcome.chunks;
    outcome.bytes += length;
    return true;
}

void Road::readToEnd(StreamInterface* stream)
{
    for (size_t count = 0; count < kMaxChunksToEnd && !stream->isEndOfStream(); ++count) {
        if (!readOnce(stream))
            break;
    }
}

void Road::performOnStream(Operation operation, uint8_t argument, StreamInterface* stream)
{
    uint32_t time = 0;
    switch (operation) {
    case kRead:
        for (int count = 0; count < kReadsPerOperation && readOnce(stream); ++count) {
        }
        break;
    case kReadToEnd:
        readToEnd(stream);
        break;
    case kSeek:
    case kSeekOddTime:
        if (stream->seekStream(operation == kSeek ? argument * 250u : argument * 37u + 1, &time, 1) !=
            kResultSuccess)
            ++outcome.failedOperations;
        break;
    case kRewind:
        stream->rewindStream();
        break;
    case kSetSpeed:
        stream->setReadSpeed(kSpeeds[argument % 8]);
        break;
    case kSetMode:
        stream->setReadMode(1 + (argument & 1));
        break;
    case kReopenStream:
        stream->closeStream();
        if (stream->openStream(&clock) != kResultSuccess)
            ++outcome.failedOperations;
        break;
    case kSyncPoint:
        if (stream->getSyncPoint(stream->getReadSpeed(), argument * 300u, &time) != kResultSuccess)
            ++outcome.failedOperations;
        break;
    case kQueries:
        stream->getDuration();
        stream->getPosition();
        stream->isEndOfStream();
        stream->getFormat();
        stream->getProperties();
        callByValue(*stream, &StreamInterface::getAssociatedStreams, argument);
        break;
    case kCloseStream:
        stream->closeStream();
        break;
    default:
        break;
    }
}

void Road::perform(uint8_t byte)
{
    const auto operation = static_cast<Operation>(byte & 0x0F);
    const uint8_t argument = byte >> 4;
    switch (operation) {
    case kSetClock:
        clock.set((argument & 1) != 0, (argument >> 1) * 500);
        return;
    case kReopenTitle:
        container->closeTitle(false);
        openTitleAndStreams();
        return;
    case kReopenMovie:
        container->close();
        if (openMovie() == kResultSuccess)
            openTitleAndStreams();
        return;
    case kCloseTitleLeavingOpen:
        container->closeTitle(true);
        return;
    case kReadEveryStream:
        for (StreamInterface* stream : containerHost.streams())
            readOnce(stream);
        return;
    default:
        break;
    }
    const std::vector<StreamInterface*>& streams = containerHost.streams();
    if (!streams.empty())
        performOnStream(operation, argument, streams[argument % streams.size()]);
}

void Road::finish()
{
    for (StreamInterface* stream : containerHost.streams())
        stream->closeStream();
    container->closeTitle(false);
    container->close();
    plugin->dropReference();
    plugin = nullptr;
    container = nullptr;
}

RoadOutcome Road::run(const Location& where, const uint8_t* script, size_t length)
{
    outcome.moduleLoaded = createContainer();
    if (!outcome.moduleLoaded)
        return outcome;
    location = &where;
    outcome.openResult = openMovie();
    if (outcome.openResult == kResultSuccess) {
        outcome.titleResult = openTitleAndStreams();
        outcome.streams = containerHost.streams().size();
        for (size_t at = 0; at < length; ++at)
            perform(script[at]);
    }
    finish();
    return outcome;
}

} // namespace

Host::PluginModule& roadModule()
{
    static Host::PluginModule* module = new Host::PluginModule();
    return *module;
}

std::mutex& roadOpenLock()
{
    static std::mutex lock;
    return lock;
}

RoadOutcome runRoad(const std::string& path, const uint8_t* script, size_t scriptLength)
{
    return runRoadAt(Host::HostLocation::fromPath(path), script, scriptLength);
}

RoadOutcome runRoadAt(const Location& location, const uint8_t* script, size_t scriptLength)
{
    return Road().run(location, script, scriptLength);
}

std::string decodeAllScript()
{
    // Read to the end on stream 0, 1, 2 and 3 (argument in the high nibble).
    return std::string{char(kReadToEnd), char(0x10 | kReadToEnd), char(0x20 | kReadToEnd),
                       char(0x30 | kReadToEnd)};
}

} // namespace Qel::Reliability
