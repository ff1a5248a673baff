// Every allocation the plug-in makes in a host call fails in turn: the call
// runs with the plug-in's first n allocations granted and every later one
// refused, for n = 0, 1, 2 ... until the call no longer reaches a refused
// one. The global operator new is replaced for this program and exported,
// so the plug-in module allocates through it too. Whichever allocation
// fails, no exception may leave the call: it answers success or its
// ordinary failure, leaves what the host relies on, and the host can go on.
// The hosts here allocate nothing while the plug-in calls them, and the
// stand-in runtime is always granted what it asks for (its own failures are
// its own).
#include <execinfo.h>
#include <link.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>
#include <string>

#include <gtest/gtest.h>

#include "ContainerSession.h"
#include "HostClocks.h"
#include "MovieFixture.h"
#include "media/MediaChunk.h"
#include "plugin/ResultCodes.h"
#include "streams/StreamInterface.h"

namespace {

// How many more allocations are granted; -1 grants every one.
long allocationsGranted = -1;
bool allocationRefused = false;

// Where the runtime module lies in memory, once it is loaded.
uintptr_t runtimeStart = 0;
uintptr_t runtimeEnd = 0;

int findRuntime(dl_phdr_info* info, size_t, void*)
{
    if (!info->dlpi_name || !std::strstr(info->dlpi_name, "QuickTime.qts"))
        return 0;
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& segment = info->dlpi_phdr[i];
        if (segment.p_type != PT_LOAD)
            continue;
        const uintptr_t start = info->dlpi_addr + segment.p_vaddr;
        if (runtimeStart == 0 || start < runtimeStart)
            runtimeStart = start;
        if (start + segment.p_memsz > runtimeEnd)
            runtimeEnd = start + segment.p_memsz;
    }
    return 1;
}

// True when the runtime is on the calling stack.
bool calledByRuntime()
{
    void* frames[64];
    const int count = backtrace(frames, 64);
    for (int i = 0; i < count; ++i) {
        const auto address = reinterpret_cast<uintptr_t>(frames[i]);
        if (address >= runtimeStart && address < runtimeEnd)
            return true;
    }
    return false;
}

bool refuses()
{
    if (allocationsGranted < 0 || calledByRuntime())
        return false;
    if (allocationsGranted == 0)
        return true;
    --allocationsGranted;
    return false;
}

} // namespace

void* operator new(std::size_t size)
{
    if (refuses()) {
        allocationRefused = true;
        throw std::bad_alloc();
    }
    if (void* block = std::malloc(size ? size : 1))
        return block;
    throw std::bad_alloc();
}

// Not inlined: the compiler would otherwise pair a new-expression with the
// free() inside and warn of a mismatch.
__attribute__((noinline)) void operator delete(void* block) noexcept
{
    std::free(block);
}

__attribute__((noinline)) void operator delete(void* block, std::size_t) noexcept
{
    std::free(block);
}

namespace Qel::Testing {
namespace {

constexpr long kMostAllocations = 5000;
constexpr uint32_t kSecondPictureMs = 100;  // 60 units at 600 per second
constexpr uint32_t kPictureBytes = 64 * 48 * 2;
constexpr uint32_t kFirstSoundChunk = 0x20000;

// A host that takes streams without allocating: a fixed table.
class FixedContainerHost : public Host::RecordingContainerHost {
public:
    explicit FixedContainerHost(Host::HostEventLog& log) : RecordingContainerHost(log) {}
    ~FixedContainerHost()
    {
        for (int i = 0; i < count; ++i)
            destroy(streams[i]);
    }

    uint64_t generateId() override { return nextId++; }
    void addStream(StreamInterface* stream) override { streams[count++] = stream; }
    void removeStream(uint64_t streamId) override
    {
        for (int i = 0; i < count; ++i) {
            if (streams[i]->getStreamId() == streamId) {
                destroy(streams[i]);
                streams[i] = streams[--count];
                return;
            }
        }
    }
    void activateStream(uint64_t, uint32_t) override { ++activations; }

    StreamInterface* ofKind(int32_t kind) const
    {
        for (int i = 0; i < count; ++i) {
            if (streams[i]->getKind() == kind)
                return streams[i];
        }
        return nullptr;
    }

    StreamInterface* streams[8] = {};
    int count = 0;
    int activations = 0;
    uint64_t nextId = 1001;
};

// A container given a movie of one video and one sound track; the hosts
// outlive it.
struct Road {
    Road()
    {
        pluginModule().getPlugin()(&pluginHost, &plugin);
        void* view = nullptr;
        plugin->queryInterface(identifier(kContainerInterfaceName), &view);
        container = static_cast<ContainerInterface*>(view);
        title = containerHost.nextId;  // the first identifier drawn
        container->initialize(&containerHost, 42);
    }
    ~Road() { plugin->dropReference(); }

    bool open() { return container->open(&location) == kResultSuccess; }
    bool openTitle() { return open() && container->openTitle(title) == kResultSuccess; }

    MovieFixture folder;
    Host::HostLocation location = Host::HostLocation::fromPath(folder.write(
        "movie.json", Movie::document(Movie::videoTrack() + ", " + Movie::soundTrack(), "null", 600, 600)));
    Host::HostEventLog events;
    Host::RecordingPluginHost pluginHost{events};
    FixedContainerHost containerHost{events};
    Host::StoppedClock clock;
    Plugin* plugin = nullptr;
    ContainerInterface* container = nullptr;
    uint64_t title = 0;
};

// Runs call with `granted` allocations granted and the rest refused. True
// when one was refused; an exception that left the call fails the test.
bool runRefusingAfter(long granted, const std::function<void()>& call)
{
    if (runtimeEnd == 0)
        dl_iterate_phdr(findRuntime, nullptr);
    bool escaped = false;
    allocationRefused = false;
    allocationsGranted = granted;
    try {
        call();
    } catch (...) {
        escaped = true;
    }
    allocationsGranted = -1;
    EXPECT_FALSE(escaped) << "an exception left the call";
    return allocationRefused;
}

// attempt(granted) runs the call on a fresh road and checks what it left;
// it answers whether an allocation was refused.
void everyAllocationRefused(const std::function<bool(long)>& attempt)
{
    for (long granted = 0; granted < kMostAllocations; ++granted) {
        SCOPED_TRACE("allocations granted: " + std::to_string(granted));
        if (!attempt(granted)) {
            EXPECT_GT(granted, 0) << "the call allocated nothing";
            return;
        }
        if (::testing::Test::HasFailure())
            return;
    }
    ADD_FAILURE() << "the call never ran to its end";
}

// A refused component is no component; with memory back the host gets one.
TEST(AllocationFailureTest, GetPluginHandsOutNoComponent)
{
    Host::HostEventLog events;
    Host::RecordingPluginHost pluginHost(events);
    const GetPluginFunction getPlugin = pluginModule().getPlugin();
    everyAllocationRefused([&](long granted) {
        Plugin* plugin = nullptr;
        int32_t result = -1;
        bool refused = runRefusingAfter(granted, [&] { result = getPlugin(&pluginHost, &plugin); });
        EXPECT_EQ(result, 0);
        if (plugin)
            plugin->dropReference();
        return refused;
    });
}

// open fails with nothing loaded, and opens the movie when asked again.
TEST(AllocationFailureTest, OpenLoadsNothing)
{
    everyAllocationRefused([&](long granted) {
        Road road;
        int32_t result = 0;
        bool refused = runRefusingAfter(granted, [&] { result = road.container->open(&road.location); });
        if (result != kResultSuccess) {
            EXPECT_EQ(result, kResultFailure);
            EXPECT_EQ(road.container->openTitle(road.title), kResultFailure) << "nothing loaded";
            EXPECT_TRUE(road.open());
        }
        return refused;
    });
}

// openTitle fails with every stream it handed over taken back, none
// activated, and makes both when asked again.
TEST(AllocationFailureTest, OpenTitleTakesBackItsStreams)
{
    everyAllocationRefused([&](long granted) {
        Road road;
        EXPECT_TRUE(road.open());
        int32_t result = 0;
        bool refused = runRefusingAfter(granted, [&] { result = road.container->openTitle(road.title); });
        if (result != kResultSuccess) {
            EXPECT_EQ(result, kResultFailure);
            EXPECT_EQ(road.containerHost.count, 0) << "streams left with the host";
            EXPECT_EQ(road.containerHost.activations, 0);
            EXPECT_EQ(road.container->openTitle(road.title), kResultSuccess);
            EXPECT_EQ(road.containerHost.count, 2);
        }
        return refused;
    });
}

// One read with the plug-in's allocations refused after `granted`. A failed
// read hands out no chunk and leaves the stream where it was, at startMs,
// and the next read delivers the chunk the failed one would have: size
// bytes from startMs. True when an allocation was refused.
bool checkRead(long granted, StreamInterface* stream, uint32_t startMs, uint32_t size)
{
    MediaChunk* chunk = nullptr;
    int32_t result = 0;
    bool refused = runRefusingAfter(granted, [&] { result = stream->readStream(&chunk); });
    if (result != kResultSuccess) {
        EXPECT_EQ(result, kResultFailure);
        EXPECT_EQ(chunk, nullptr);
        EXPECT_EQ(stream->getPosition(), startMs);
        EXPECT_FALSE(stream->isEndOfStream());
        EXPECT_EQ(stream->readStream(&chunk), kResultSuccess);
    }
    EXPECT_TRUE(chunk && chunk->startTime == startMs && chunk->dataSize() == size);
    if (chunk)
        chunk->release();
    return refused;
}

// The video stream gives the same picture again; its first picture was
// read before.
TEST(AllocationFailureTest, VideoReadStaysWhereItWas)
{
    everyAllocationRefused([&](long granted) {
        Road road;
        EXPECT_TRUE(road.openTitle());
        StreamInterface* video = road.containerHost.ofKind(272);
        EXPECT_EQ(video->openStream(&road.clock), kResultSuccess);
        MediaChunk* first = nullptr;
        EXPECT_EQ(video->readStream(&first), kResultSuccess);
        first->release();
        return checkRead(granted, video, kSecondPictureMs, kPictureBytes);
    });
}

// The sound stream loses nothing it had taken from the runtime.
TEST(AllocationFailureTest, SoundReadLosesNothing)
{
    everyAllocationRefused([&](long granted) {
        Road road;
        EXPECT_TRUE(road.openTitle());
        StreamInterface* audio = road.containerHost.ofKind(288);
        EXPECT_EQ(audio->openStream(&road.clock), kResultSuccess);
        return checkRead(granted, audio, 0, kFirstSoundChunk);
    });
}

} // namespace
} // namespace Qel::Testing
