// The loader's module-wide state in its initial form: unbound, with the
// on-demand binding as the bind hook.
#include "quicktime/QtLoaderInternal.h"
#include "quicktime/QtLoaderState.h"

namespace Qel {

extern "C" intptr_t QtUnbound()
{
    return kQtNotBound;
}

// Constant-initialised, so a stub called during static initialisation
// already finds it in order.
QtLoaderState qelQtLoaderState = {
    {&QtLoaderBindOnDemand}, {&QtUnbound}, {&QtUnbound}, {&QtUnbound}, nullptr, 0, 0, 0,
};

static_assert(offsetof(QtLoaderState, bindHook) == kBindHookOffset);
static_assert(offsetof(QtLoaderState, dispatcher) == kDispatcherOffset);

} // namespace Qel
