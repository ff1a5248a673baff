#include "RecordingContainerHost.h"

#include <algorithm>

#include "streams/StreamInterface.h"

namespace Qel::Host {

RecordingContainerHost::RecordingContainerHost(HostEventLog& log, uint64_t firstId)
    : log(log), nextId(firstId)
{
}

RecordingContainerHost::~RecordingContainerHost()
{
    for (StreamInterface* stream : held)
        Qel::destroy(stream);
}

uint64_t RecordingContainerHost::generateId()
{
    uint64_t id = nextId++;
    log.record({HostEvent::Kind::GenerateId, id, 0, nullptr});
    return id;
}

void RecordingContainerHost::addStream(StreamInterface* stream)
{
    log.record({HostEvent::Kind::AddStream, stream ? stream->getStreamId() : 0, 0, stream});
    if (stream)
        held.push_back(stream);
}

void RecordingContainerHost::removeStream(uint64_t streamId)
{
    log.record({HostEvent::Kind::RemoveStream, streamId, 0, nullptr});
    auto found = std::find_if(held.begin(), held.end(),
                              [streamId](StreamInterface* s) { return s->getStreamId() == streamId; });
    if (found == held.end())
        return;
    StreamInterface* stream = *found;
    held.erase(found);
    Qel::destroy(stream);
}

void RecordingContainerHost::activateStream(uint64_t streamId, uint32_t value)
{
    log.record({HostEvent::Kind::ActivateStream, streamId, value, nullptr});
}

StreamInterface* RecordingContainerHost::stream(uint64_t streamId) const
{
    for (StreamInterface* stream : held) {
        if (stream->getStreamId() == streamId)
            return stream;
    }
    return nullptr;
}

void RecordingContainerHost::unexpected(uint32_t slot)
{
    log.record({HostEvent::Kind::UnexpectedSlot, 0, slot, nullptr});
}

} // namespace Qel::Host
