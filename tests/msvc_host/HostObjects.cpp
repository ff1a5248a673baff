#include "HostObjects.h"

namespace Host {

void RecordingPluginHost::onPluginReleasing(Plugin* plugin)
{
    releasing = plugin;
    releasingCall = ++calls;
}

void RecordingPluginHost::onPluginReleased(Plugin* plugin)
{
    released = plugin;
    releasedCall = ++calls;
}

uint64_t RecordingContainerHost::generateId()
{
    return nextId++;
}

void RecordingContainerHost::addStream(StreamInterface* stream)
{
    if (streamCount == kMaxStreams)
        return;
    streams[streamCount++] = stream;
    if (onAddStream)
        onAddStream();
}

void RecordingContainerHost::removeStream(uint64_t streamId)
{
    if (removedCount < kMaxStreams)
        removed[removedCount++] = streamId;
    for (int i = 0; i < streamCount; ++i) {
        if (streams[i] && streams[i]->streamId == streamId) {
            destroy(streams[i]);
            streams[i] = nullptr;
            return;
        }
    }
    ++unknownRemovals;
}

void RecordingContainerHost::destroy(StreamInterface* stream)
{
    if (rawlyDestroyed) {
        delete stream;
        return;
    }
    using DeletingDestructor = void*(__thiscall*)(void* self, uint32_t flags);
    void** vtable = *reinterpret_cast<void***>(stream);
    rawlyDestroyed = stream;
    slotZeroReturned = reinterpret_cast<DeletingDestructor>(vtable[0])(stream, 1);
}

void RecordingContainerHost::activateStream(uint64_t streamId, uint32_t value)
{
    if (activationCount == kMaxStreams)
        return;
    activated[activationCount] = streamId;
    activationValues[activationCount] = value;
    ++activationCount;
}

} // namespace Host
