#include "plugin/Plugin.h"

#include "plugin/PluginHost.h"

namespace Qel {

Plugin::Plugin(PluginHost* host) : referenceCount(1), host(host), reserved(0) {}

int32_t Plugin::addReference()
{
    return ++referenceCount;
}

int32_t Plugin::dropReference()
{
    const int32_t remaining = --referenceCount;
    if (remaining != 0)
        return remaining;

    // Read everything needed after the deletion while the object still exists.
    PluginHost* const notified = host;
    Plugin* const identity = this;
    // Without a host there is nobody to tell; the object is still freed.
    if (notified)
        notified->onPluginReleasing(identity);
    destroySlot(1u);
    if (notified)
        notified->onPluginReleased(identity);
    return 0;
}

int32_t Plugin::getReferenceCount()
{
    return referenceCount;
}

uint32_t Plugin::getReserved()
{
    return reserved;
}

PluginHost* Plugin::getHost()
{
    return host;
}

} // namespace Qel
