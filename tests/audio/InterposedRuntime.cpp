#include "InterposedRuntime.h"

#include "quicktime/QtLoaderState.h"
#include "quicktime/QtOperations.h"

// The frame's trampoline, linked into this program: it hands each call to
// qelRuntimeDispatch below.
extern "C" intptr_t theQuickTimeDispatcher();

namespace Qel::Testing {

namespace {

InterposedRuntime* active = nullptr;
QtEntryPoint boundDispatcher = nullptr;

// Calls the plug-in's own stub with the caller's arguments while the bound
// runtime's dispatcher is back in place.
intptr_t passToBoundRuntime(uint32_t selector, const QelRuntime::RuntimeArgs& args)
{
    qelQtLoaderState.dispatcher = boundDispatcher;
    intptr_t answer = kQtNotBound;
    switch (selector) {
#define QT_OPERATION(name, selectorValue, resultType, params) \
    case selectorValue:                                       \
        answer = QelRuntime::invoke(&Qel::name, args);           \
        break;
#include "quicktime/QtOperationList.h"
#undef QT_OPERATION
    default:
        break;
    }
    qelQtLoaderState.dispatcher = &theQuickTimeDispatcher;
    return answer;
}

} // namespace

InterposedRuntime::InterposedRuntime(Handler handler) : handler(std::move(handler))
{
    boundDispatcher = qelQtLoaderState.dispatcher.load();
    active = this;
    qelQtLoaderState.dispatcher = &theQuickTimeDispatcher;
}

InterposedRuntime::~InterposedRuntime()
{
    qelQtLoaderState.dispatcher = boundDispatcher;
    active = nullptr;
}

intptr_t InterposedRuntime::handle(uint32_t selector, const QelRuntime::RuntimeArgs& args)
{
    return handler(selector, args, [&] { return passToBoundRuntime(selector, args); });
}

} // namespace Qel::Testing

extern "C" intptr_t qelRuntimeDispatch(uint32_t selector, const QelRuntime::RuntimeArgs& args) noexcept
{
    Qel::Testing::InterposedRuntime* runtime = Qel::Testing::active;
    return runtime ? runtime->handle(selector, args) : Qel::kQtNotBound;
}
