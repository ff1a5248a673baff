// The runtime operations every runtime library shares: start, stop and the
// question whether the runtime is started. Starts are counted, so the
// runtime stays started until each start has been matched by a stop.
#include <atomic>

#include "frame/RuntimeDispatch.h"

namespace QelRuntime {

namespace {

// The only start-up flag the plug-in passes (64). No other bit means
// anything to this runtime, so a caller setting one is told so instead of
// getting a runtime that silently ignored its request.
constexpr int32_t kKnownStartFlags = 64;

std::atomic<int32_t> startCount{0};

} // namespace

QtStatus QtRuntimeInit(int32_t flags)
{
    if ((flags & ~kKnownStartFlags) != 0)
        return kQtParamError;
    ++startCount;
    return 0;
}

void QtRuntimeTerm()
{
    int32_t count = startCount.load();
    while (count > 0 && !startCount.compare_exchange_weak(count, count - 1)) {
    }
}

QtBoolean QtRuntimeStateQuery()
{
    return startCount.load() > 0 ? 1 : 0;
}

} // namespace QelRuntime
