// The seam between the system and the operating system. Only the two
// implementations of this header (Platform_win32.cpp, Platform_posix.cpp)
// include <windows.h> or <dlfcn.h>.
//
// Windows: each function calls the Win32 function named beside it, as
// documented. POSIX: the same behaviour as far as the platform allows: no
// registry (every read yields nothing), the system folder is the folder of
// the plug-in module, the named mutex is process-wide under the same name.
// All functions are safe to call from any thread.
#pragma once

#include <cstdint>
#include <string>

namespace Qel::Platform {

using ModuleHandle = void*;

// LoadLibraryA / dlopen. Null on failure.
ModuleHandle loadModule(const char* path);
// Whether the path names one file whatever the current folder is: a drive
// letter with its separator or a UNC path on Windows; a leading '/' on POSIX.
bool isAbsolutePath(const char* path);
// Loads the module file at an absolute path and nowhere else; a relative
// path loads nothing. Windows: LoadLibraryExA with
// LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS, so
// the module's own imports come from its folder, the program's folder and the
// system folder, never from the current folder or PATH (on Windows versions
// without those flags, LOAD_WITH_ALTERED_SEARCH_PATH). POSIX: dlopen.
// Null on failure. The process-wide search settings are left alone.
ModuleHandle loadModuleAt(const char* absolutePath);
// Loads a library that its maker installs beside the host or the plug-in,
// never from the current folder or PATH; each candidate loads as
// loadModuleAt does. Windows: the program's folder, the plug-in's folder,
// then the system folder (paths from GetModuleFileNameW and
// GetSystemDirectoryW). POSIX: the dynamic loader's own search for the
// plug-in (LD_LIBRARY_PATH, RUNPATH, its cache, the system's library
// folders), then the plug-in's folder; when the loader's list holds a
// relative folder (an empty LD_LIBRARY_PATH entry stands for the current
// folder), only its absolute folders are tried, in its order, without the
// cache. Null when no candidate loads.
ModuleHandle loadInstalledLibrary(const std::u16string& fileName);
// FreeLibrary / dlclose.
void freeModule(ModuleHandle module);
// GetProcAddress / dlsym. Null when absent.
void* findSymbol(ModuleHandle module, const char* name);
// GetModuleHandleA / the loaded module whose file name is fileName. Null when none.
ModuleHandle findLoadedModule(const char* fileName);
// GetModuleFileNameA: the module's full path into out (NUL-terminated,
// truncated to capacity). Returns the length written, 0 on failure.
uint32_t moduleFileName(ModuleHandle module, char* out, uint32_t capacity);
// The module that holds this code (the plug-in itself).
ModuleHandle thisModule();
// GetSystemDirectoryA semantics: the length written, 0 on failure, or the
// size needed (> capacity) when it does not fit.
uint32_t systemFolder(char* out, uint32_t capacity);
// RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, KEY_QUERY_VALUE) and
// RegQueryValueExA(valueName) into out with capacity bytes, type unchecked.
// False when the key or value is absent, or it does not fit.
bool registryRead(const char* keyPath, const char* valueName, char* out, uint32_t capacity);
// _access(path, 0) == 0.
bool pathExists(const char* path);
// GetLastError / errno.
uint32_t lastError();
// GetCurrentProcessId / getpid.
uint32_t currentProcessId();
// The file version of a module file: GetFileVersionInfoSizeA, GlobalAlloc
// (zero-filled), GetFileVersionInfoA, VerQueryValueA("\\") on Windows; the
// runtime library's exported version on POSIX, which loads the library and
// so takes an absolute path only. Both outputs 0 when unknown.
void fileVersion(const char* path, uint32_t* high, uint32_t* low);

// PathCreateFromUrlW(url, out, &capacity, 0) with a zero-filled buffer of
// capacity units. Returns the HRESULT: negative on failure; on success out
// holds the NUL-terminated path.
int32_t pathFromUrl(const std::u16string& url, char16_t* out, uint32_t capacity);

// CreateMutexA(no security, not owned, name) / a process-wide recursive
// mutex registered under the name. lock() waits without a time limit.
class NamedMutex {
public:
    explicit NamedMutex(const char* name);
    ~NamedMutex();  // releases if held, then closes
    NamedMutex(const NamedMutex&) = delete;
    NamedMutex& operator=(const NamedMutex&) = delete;

    bool valid() const { return handle != nullptr; }
    void lock();     // WaitForSingleObject(INFINITE)
    void unlock();   // ReleaseMutex

private:
    void* handle;
    bool held;
};

} // namespace Qel::Platform
