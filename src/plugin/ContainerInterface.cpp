#include "plugin/ContainerInterface.h"

namespace Qel {

void ContainerInterface::initialize(ContainerHost* host, uint64_t id)
{
    containerHost = host;
    containerId = id;
}

uint64_t ContainerInterface::getContainerId()
{
    return containerId;
}

// A host may pass null for a word it does not want; only the words it asked
// for are written.
int32_t ContainerInterface::reserved8(uint32_t* first, uint32_t* second)
{
    if (first)
        *first = 0;
    if (second)
        *second = 0;
    return 0;
}

} // namespace Qel
