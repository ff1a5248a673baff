// A runtime that sits between the plug-in code linked into this test
// program and the stand-in runtime that the loader bound, so that a test can
// see what the code asks and alter what the runtime answers: what no
// synthetic movie can make the real runtime say (a rate of 0, a fill of more
// bytes than the buffer holds, an unexpected channel layout).
//
// While an InterposedRuntime exists, every operation called through the
// plug-in's stubs in this program reaches its handler, which may pass the
// call on to the bound runtime (passOn) and change the arguments before or
// the outputs after. One at a time; the test's thread only.
#pragma once

#include <cstdint>
#include <functional>

#include "frame/RuntimeDispatch.h"

namespace Qel::Testing {

class InterposedRuntime {
public:
    using PassOn = std::function<intptr_t()>;
    using Handler = std::function<intptr_t(uint32_t selector, const QelRuntime::RuntimeArgs& args, const PassOn& passOn)>;

    // The runtime must be bound already (a container has opened a movie).
    explicit InterposedRuntime(Handler handler);
    ~InterposedRuntime();
    InterposedRuntime(const InterposedRuntime&) = delete;
    InterposedRuntime& operator=(const InterposedRuntime&) = delete;

    intptr_t handle(uint32_t selector, const QelRuntime::RuntimeArgs& args);

private:
    Handler handler;
};

// Argument `index` (from 0) of the call, as the parameter's type.
template <class T>
T argumentOf(const QelRuntime::RuntimeArgs& args, size_t index)
{
    return QelRuntime::argumentAs<T>(args.arg(index));
}

} // namespace Qel::Testing
