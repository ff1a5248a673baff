// Starting, stopping and binding the runtime library.
//
// States: unbound (initial: bindHook = on-demand binding, entries
// QtUnbound); bound (bindHook none, entries resolved from the library);
// released (after a failed initialise or the last terminate: bindHook =
// bindAfterRelease, entries QtUnbound, no library).
#include <cstdio>

#include "quicktime/QtLoader.h"
#include "quicktime/QtLoaderInternal.h"
#include "quicktime/QtLoaderState.h"
#include "quicktime/QtOperations.h"

namespace Qel {

namespace {

QtLoaderState& state = qelQtLoaderState;

std::string initTermMutexName()
{
    char name[64];
    std::snprintf(name, sizeof name, "QTMLInitTermMutex%lx", static_cast<unsigned long>(Platform::currentProcessId()));
    return name;
}

// The hook of a released loader: binds again if a library is loaded (it is
// not, so every operation keeps answering kQtNotBound).
void bindAfterRelease()
{
    QtLoaderBind();
}

void unbindEntries(QtBindHook hook)
{
    state.bindHook.store(hook);
    state.dispatcher.store(&QtUnbound);
    state.componentCall.store(&QtUnbound);
    state.componentCallWithStorage.store(&QtUnbound);
}

void unloadLibrary()
{
    if (state.library)
        Platform::freeModule(state.library);
    state.library = nullptr;
}

void release()
{
    unbindEntries(&bindAfterRelease);
    unloadLibrary();
}

bool resolve(std::atomic<QtEntryPoint>& entry, const char* exportName)
{
    void* address = Platform::findSymbol(state.library, exportName);
    if (!address)
        return false;
    entry.store(reinterpret_cast<QtEntryPoint>(address));
    return true;
}

// Loads the library afresh. A reference that an earlier on-demand binding
// kept is given back once the new one is held, so it is never leaked.
void reloadLibrary()
{
    const Platform::ModuleHandle earlier = state.library;
    state.library = QtLibraryLoad(kQtLibraryName);
    if (earlier)
        Platform::freeModule(earlier);
}

} // namespace

InitTermLock::InitTermLock() : mutex(initTermMutexName().c_str())
{
    if (mutex.valid())
        mutex.lock();
}

QtStatus QtLoaderBind()
{
    // With no library there is nothing to resolve from (on POSIX a null
    // handle would search the whole process).
    if (!state.library)
        return kQtEntryPointMissing;
    if (!resolve(state.componentCallWithStorage, "_CallComponentFunctionWithStorage") ||
        !resolve(state.componentCall, "_CallComponent") || !resolve(state.dispatcher, "theQuickTimeDispatcher"))
        return kQtEntryPointMissing;
    state.bindHook.store(nullptr);
    return 0;
}

QtStatus QtLoaderInit(int32_t flags)
{
    InitTermLock lock;
    if (state.initCount > 0) {
        ++state.initCount;
        return 0;
    }
    reloadLibrary();
    QtStatus status = state.library ? QtLoaderBind() : kQtLibraryNotFound;
    if (status == 0)
        status = QtRuntimeInit(flags);
    if (status == 0)
        ++state.initCount;
    else
        release();
    return status;
}

void QtLoaderTerm()
{
    InitTermLock lock;
    if (state.initCount <= 0) {
        state.initCount = 0;
        return;
    }
    if (--state.initCount == 0) {
        QtRuntimeTerm();
        release();
    }
}

// Two threads calling their first operation at once both arrive here: the
// init/term lock serialises them, and the second finds the loader no longer
// waiting for an on-demand binding and leaves it as it is.
void QtLoaderBindOnDemand()
{
    InitTermLock lock;
    if (state.bindHook.load() != &QtLoaderBindOnDemand)
        return;
    bool loadedHere = false;
    if (!state.library) {
        state.library = QtLibraryLoad(kQtLibraryName);
        if (!state.library)
            return;  // the call answers kQtNotBound; the next one tries again
        loadedHere = true;
    }
    if (QtLoaderBind() != 0) {
        // Nothing usable is bound: give back what this binding took, so no
        // entry points into a library the loader no longer holds.
        if (loadedHere) {
            unbindEntries(&QtLoaderBindOnDemand);
            unloadLibrary();
        }
        return;
    }
    // When another user in the process has the runtime started, it keeps the
    // library loaded; the entries stay bound to it without a reference here.
    if (loadedHere && QtLoaderVersionCheck() == 1 && (QtRuntimeStateQuery() & 0xFF) != 0)
        unloadLibrary();
}

void QtLoaderResetForTesting()
{
    InitTermLock lock;
    unbindEntries(&QtLoaderBindOnDemand);
    unloadLibrary();
    state.initCount = 0;
    state.versionChecked = 0;
    state.versionNewEnough = 0;
}

} // namespace Qel
