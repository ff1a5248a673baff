// The two component entry points every QuickTime.qts exports beside its
// dispatcher. The plug-in resolves them but never calls them; should anything
// call them, they answer that the selector is not supported rather than
// touch arguments they know nothing about. Both are C functions with the
// caller cleaning the stack, so any argument list is safe.
#include "frame/RuntimeDispatch.h"

namespace {

constexpr intptr_t kBadComponentSelector = int32_t(0x80008002u);  // badComponentSelector

} // namespace

extern "C" QEL_RUNTIME_EXPORT intptr_t _CallComponent()
{
    return kBadComponentSelector;
}

extern "C" QEL_RUNTIME_EXPORT intptr_t _CallComponentFunctionWithStorage()
{
    return kBadComponentSelector;
}
