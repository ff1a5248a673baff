#include "RecordingPluginHost.h"

namespace Qel::Host {

void RecordingPluginHost::onPluginReleasing(Plugin* plugin)
{
    log.record({HostEvent::Kind::PluginReleasing, 0, 0, plugin});
}

// The plug-in is gone by now: the pointer is kept only as a value.
void RecordingPluginHost::onPluginReleased(Plugin* plugin)
{
    log.record({HostEvent::Kind::PluginReleased, 0, 0, plugin});
}

void RecordingPluginHost::unexpected(uint32_t slot)
{
    log.record({HostEvent::Kind::UnexpectedSlot, 0, slot, nullptr});
}

} // namespace Qel::Host
