// A runtime that records each call it receives: the selector and every
// argument word the operation has, as the table declares it. Tests use it to
// prove that each stub reaches the runtime unchanged, and, started and
// stopped like the real runtime, to watch the loader.
#include <atomic>
#include <mutex>
#include <unordered_map>

#include "frame/RuntimeDispatch.h"
#include "quicktime/QtSelectors.h"
#include "testing/EchoRecord.h"

namespace {

using namespace QelRuntime;
using QelRuntime::EchoRuntime::Call;

std::mutex recordLock;
Call lastCall{};
std::unordered_map<uint32_t, uint32_t> callCounts;

uint32_t argumentCountOf(uint32_t selector)
{
    switch (selector) {
#define QT_OPERATION(name, selectorValue, result, params) \
    case selectorValue:                                   \
        return ParameterCount<result params>::value;
#include "quicktime/QtOperationList.h"
#undef QT_OPERATION
    default:
        return 0;
    }
}

void copyBlock(const QtComponentParams* block)
{
    if (!block)
        return;
    lastCall.blockFlags = block->flags;
    lastCall.blockBytes = block->paramBytes;
    lastCall.blockWhat = block->what;
    const size_t count = block->paramBytes / sizeof(uintptr_t);
    for (size_t i = 0; i < count && i < EchoRuntime::kMaxArguments; ++i)
        lastCall.blockParams[i] = block->params[i];
}

void record(uint32_t selector, const RuntimeArgs& args)
{
    std::lock_guard<std::mutex> hold(recordLock);
    lastCall = Call{};
    lastCall.selector = selector;
    lastCall.argumentCount = argumentCountOf(selector);
    for (uint32_t i = 0; i < lastCall.argumentCount && i < EchoRuntime::kMaxArguments; ++i)
        lastCall.arguments[i] = args.arg(i);
    if (selector == static_cast<uint32_t>(QtSelector::QtComponentRequest) &&
        args.arg(0) == EchoRuntime::kBlockInstance)
        copyBlock(argumentAs<const QtComponentParams*>(args.arg(1)));
    ++callCounts[selector];
}

} // namespace

extern "C" intptr_t qelRuntimeDispatch(uint32_t selector, const RuntimeArgs& args) noexcept
{
    record(selector, args);
    switch (static_cast<QtSelector>(selector)) {
    case QtSelector::QtRuntimeInit:
        return invoke(&QtRuntimeInit, args);
    case QtSelector::QtRuntimeTerm:
        return invoke(&QtRuntimeTerm, args);
    case QtSelector::QtRuntimeStateQuery:
        return invoke(&QtRuntimeStateQuery, args);
    default:
        return EchoRuntime::echoResult(selector);
    }
}

extern "C" QEL_RUNTIME_EXPORT const Call* qelEchoLastCall()
{
    return &lastCall;
}

extern "C" QEL_RUNTIME_EXPORT uint32_t qelEchoCallCount(uint32_t selector)
{
    std::lock_guard<std::mutex> hold(recordLock);
    const auto found = callCounts.find(selector);
    return found == callCounts.end() ? 0 : found->second;
}
