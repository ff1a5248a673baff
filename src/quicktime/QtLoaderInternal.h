// The loader's steps, for its own files and its tests. Everything here works
// on the module-wide state (QtLoaderState.h); callers other than
// QtLoaderInit/QtLoaderTerm hold the init/term lock (InitTermLock) first.
//
// Folder texts are byte strings of at most `size` bytes including the NUL,
// always NUL-terminated on return. A folder found ends in the platform's
// separator ('\' on Windows, '/' elsewhere; a text ending in either is left
// as it is).
#pragma once

#include <cstdint>

#include "quicktime/QtTypes.h"
#include "support/Platform.h"

namespace Qel {

constexpr char kQtLibraryName[] = "QuickTime.qts";
constexpr char kQtRegistryKey[] = "Software\\Apple Computer, Inc.\\QuickTime";
constexpr uint32_t kQtPathCapacity = 260;

// The process-wide init/term mutex, held for the object's life when it can
// be created (a mutex that cannot be created leaves the caller unlocked).
class InitTermLock {
public:
    InitTermLock();
    InitTermLock(const InitTermLock&) = delete;
    InitTermLock& operator=(const InitTermLock&) = delete;

private:
    Platform::NamedMutex mutex;
};

// Resolves the three entries from the loaded library; kQtEntryPointMissing
// at the first one absent (or with no library). On success the stubs stop
// calling a bind hook.
QtStatus QtLoaderBind();
// The initial bind hook: loads and binds the runtime when an operation is
// called before any QtLoaderInit.
void QtLoaderBindOnDemand();
// 1 when the library's file version is 7.0.2 or newer; remembered once known.
int32_t QtLoaderVersionCheck();
// The file version of a module file, {high, low} as Windows packs it; both 0
// when unknown. Either output may be null.
void QtFileVersionRead(const char* path, uint32_t* high, uint32_t* low);

// Loads name from the QuickTime folder, then from the extension folder.
Platform::ModuleHandle QtLibraryLoad(const char* name);
// The folder of QuickTime.qts: an already loaded QuickTime.qts, registry
// "QTSysDir", registry "QuickTime.qts folder", the system folder, the first
// that exists. 1 when found, else 0 with path empty.
int32_t QtFolderFind(char* path, uint32_t size);
// Registry "QTExtDir" as it stands, else the QuickTime folder, or its
// "QuickTime" sub-folder when that folder is the system folder itself.
// Answers the length of path, 0 when there is none.
uint32_t QtExtensionFolderFind(char* path, uint32_t size);
// A folder named by a value under HKLM\keyPath, given a separator; empty
// when absent, or when the value leaves no room for the separator.
void QtRegistryFolderRead(const char* keyPath, const char* valueName, char* text, uint32_t size);

// Puts the loader back in its initial state (unbound, bound on demand at the
// next call), unloading a library it holds. For tests that need a fresh
// loader in the same process.
void QtLoaderResetForTesting();

} // namespace Qel
