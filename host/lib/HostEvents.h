// The record of every call that a plug-in makes on the host's objects, in
// the order it made them, shared by the recording PluginHost and
// ContainerHost so that a test sees one sequence across both.
//
// Not synchronised: the plug-in calls its host on the thread that called it,
// and a test drives it from one thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Qel::Host {

struct HostEvent {
    enum class Kind {
        GenerateId,        // id: the identifier issued
        AddStream,         // id: the stream's id, object: the stream
        ActivateStream,    // id: the stream's id, value: the value passed
        RemoveStream,      // id: the stream's id
        PluginReleasing,   // object: the Plugin view
        PluginReleased,    // object: the same pointer value
        UnexpectedSlot,    // value: the slot number of an operation the plug-in must not call
    };

    Kind kind;
    uint64_t id = 0;
    uint32_t value = 0;
    const void* object = nullptr;
};

class HostEventLog {
public:
    void record(const HostEvent& event) { events.push_back(event); }
    const std::vector<HostEvent>& all() const { return events; }
    void clear() { events.clear(); }

    // One line per event, for comparing whole sequences in tests:
    // "generateId 1001", "addStream 1002", "activateStream 1002 1",
    // "removeStream 1002", "onPluginReleasing", "onPluginReleased",
    // "unexpected slot 7".
    std::vector<std::string> lines() const;

private:
    std::vector<HostEvent> events;
};

std::string describe(const HostEvent& event);

} // namespace Qel::Host
