// The guard at the boundary of every host call that can run out of memory.
//
// std::bad_alloc, the one exception the plug-in's own code raises, must not
// leave a call from the host: hosts are built with the Microsoft C++ ABI and
// cannot catch an exception thrown by MinGW's runtime, whose unwinder then
// finds no handler and ends the host's process. So each such entry point
// (getPlugin, and the slots of the container and the streams that allocate)
// runs its work through unlessOutOfMemory, and a failed allocation becomes
// the answer the host already handles for an ordinary failure.
//
// onFailure decides that answer and puts back what the interrupted work had
// half done, so that nothing leaks and the host may try again. It must not
// allocate (memory has just run out) and so it logs nothing.
#pragma once

#include <new>

namespace Qel {

template <class Body, class OnFailure>
auto unlessOutOfMemory(Body body, OnFailure onFailure) -> decltype(body())
{
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return onFailure();
    }
}

} // namespace Qel
