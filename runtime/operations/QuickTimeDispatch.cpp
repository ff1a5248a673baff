// The runtime library's dispatch function: every operation of the table,
// one at a time under the runtime's lock.
#include <mutex>
#include <new>

#include "operations/RuntimeObjects.h"
#include "source/RuntimeStatus.h"
#include "frame/RuntimeDispatch.h"

extern "C" intptr_t qelRuntimeDispatch(uint32_t selector, const QelRuntime::RuntimeArgs& args) noexcept
{
    using namespace QelRuntime;
    try {
        std::lock_guard<std::recursive_mutex> guard(runtimeState().lock);
        return dispatchOperation(selector, args);
    } catch (const std::bad_alloc&) {
        // Nothing may unwind through the dispatcher into the plug-in.
        return Qel::kQtOutOfMemory;
    }
}
