// The host's own objects that the plug-in calls back: the plug-in host, the
// container host that issues identifiers above 2^32 and owns the streams it
// is given, and a clock the road sets between reads. Each records what the
// plug-in asked of it.
#pragma once

#include "QelHostInterface.h"

namespace Host {

class RecordingPluginHost : public PluginHost {
public:
    void onPluginReleasing(Plugin* plugin) override;
    void onPluginReleased(Plugin* plugin) override;

    Plugin* releasing = nullptr;
    Plugin* released = nullptr;
    int calls = 0;
    int releasingCall = 0;  // the call number of each notice, from 1
    int releasedCall = 0;
};

class RecordingContainerHost : public ContainerHost {
public:
    static constexpr uint64_t kFirstId = 0x100000000ull + 0x1001;
    static constexpr int kMaxStreams = 8;

    uint64_t generateId() override;
    void addStream(StreamInterface* stream) override;
    // Takes the stream back from the host's list and destroys it, as a host
    // does with what it owns: the first through a raw call of slot 0 (to
    // see the flags word and the address it returns), the others with
    // delete, as the compiler writes it.
    void removeStream(uint64_t streamId) override;
    void activateStream(uint64_t streamId, uint32_t value) override;

    void destroy(StreamInterface* stream);

    // Called once the host holds the stream that addStream gave it.
    void (*onAddStream)() = nullptr;

    uint64_t nextId = kFirstId;
    StreamInterface* streams[kMaxStreams] = {};
    int streamCount = 0;
    uint64_t activated[kMaxStreams] = {};
    uint32_t activationValues[kMaxStreams] = {};
    int activationCount = 0;
    uint64_t removed[kMaxStreams] = {};
    int removedCount = 0;
    int unknownRemovals = 0;
    void* rawlyDestroyed = nullptr;
    void* slotZeroReturned = nullptr;
};

class ScriptedClock : public Clock {
public:
    int32_t getTime() override
    {
        ++timeQueries;
        return timeMs;
    }
    bool isRunning() override
    {
        ++runningQueries;
        return running;
    }

    bool running = false;
    int32_t timeMs = 0;
    int timeQueries = 0;
    int runningQueries = 0;
};

} // namespace Host
