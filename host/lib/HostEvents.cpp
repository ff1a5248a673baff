#include "HostEvents.h"

namespace Qel::Host {

std::string describe(const HostEvent& event)
{
    switch (event.kind) {
    case HostEvent::Kind::GenerateId: return "generateId " + std::to_string(event.id);
    case HostEvent::Kind::AddStream: return "addStream " + std::to_string(event.id);
    case HostEvent::Kind::ActivateStream:
        return "activateStream " + std::to_string(event.id) + " " + std::to_string(event.value);
    case HostEvent::Kind::RemoveStream: return "removeStream " + std::to_string(event.id);
    case HostEvent::Kind::PluginReleasing: return "onPluginReleasing";
    case HostEvent::Kind::PluginReleased: return "onPluginReleased";
    case HostEvent::Kind::UnexpectedSlot: return "unexpected slot " + std::to_string(event.value);
    }
    return "unknown event";
}

std::vector<std::string> HostEventLog::lines() const
{
    std::vector<std::string> out;
    out.reserve(events.size());
    for (const HostEvent& event : events)
        out.push_back(describe(event));
    return out;
}

} // namespace Qel::Host
