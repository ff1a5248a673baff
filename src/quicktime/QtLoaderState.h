// The loader's module-wide state: one instance per loaded plug-in module,
// never shared with other modules of the process.
//
// The call stubs (QtStubs.S) read bindHook and dispatcher on every call
// without a lock, so both sit at fixed offsets at the start of the record
// and are atomic: QtLoaderInit/QtLoaderTerm and the on-demand binding
// change them under the process-wide init/term lock (QtLoader.cpp) while
// other threads may be calling operations.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "support/Platform.h"

namespace Qel {

// Called by every stub before it dispatches, with no arguments.
using QtBindHook = void (*)();
// An entry point of the runtime library: code reached with the caller's
// arguments untouched and the selector in eax/rax.
extern "C" typedef intptr_t (*QtEntryPoint)();

struct QtLoaderState {
    std::atomic<QtBindHook> bindHook;  // none once bound
    std::atomic<QtEntryPoint> dispatcher;
    std::atomic<QtEntryPoint> componentCall;             // resolved, never called
    std::atomic<QtEntryPoint> componentCallWithStorage;  // resolved, never called
    Platform::ModuleHandle library;
    int32_t initCount;         // successful QtLoaderInit calls not yet matched by QtLoaderTerm
    int32_t versionChecked;    // 1 once QtLoaderVersionCheck has run to the end
    int32_t versionNewEnough;  // 1 if the library's file version is 7.0.2 or newer
};

static_assert(sizeof(std::atomic<QtBindHook>) == sizeof(void*) && sizeof(std::atomic<QtEntryPoint>) == sizeof(void*),
              "the stubs read the hook and the dispatcher as plain pointers");

extern "C" {
// The state itself; its C name is what the stubs refer to.
extern QtLoaderState qelQtLoaderState;
// Takes any arguments and answers kQtNotBound (-2095), sign-extended to the
// full register: the entry of every operation while no runtime is bound.
intptr_t QtUnbound();
}

// Offsets that QtStubs.S relies on.
constexpr size_t kBindHookOffset = 0;
constexpr size_t kDispatcherOffset = sizeof(void*);

} // namespace Qel
