// The platform seam on Windows: each service calls the Win32 function that
// Platform.h names beside it.
#include "support/Platform.h"

#include <windows.h>
#include <io.h>
#include <shlwapi.h>

#include <algorithm>

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace Qel::Platform {

namespace {

HMODULE asModule(ModuleHandle module)
{
    return static_cast<HMODULE>(module);
}

// char16_t and wchar_t are the same 16-bit code units on Windows.
const wchar_t* asWide(const std::u16string& text)
{
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

} // namespace

ModuleHandle loadModule(const char* path)
{
    return LoadLibraryA(path);
}

ModuleHandle loadModuleWide(const std::u16string& path)
{
    return LoadLibraryW(asWide(path));
}

void freeModule(ModuleHandle module)
{
    if (module)
        FreeLibrary(asModule(module));
}

void* findSymbol(ModuleHandle module, const char* name)
{
    return module ? reinterpret_cast<void*>(GetProcAddress(asModule(module), name)) : nullptr;
}

ModuleHandle findLoadedModule(const char* fileName)
{
    return GetModuleHandleA(fileName);
}

// Older Windows versions (and Wine) leave a cut name without its NUL; the
// seam always terminates it, as current Windows versions do.
uint32_t moduleFileName(ModuleHandle module, char* out, uint32_t capacity)
{
    const DWORD length = GetModuleFileNameA(asModule(module), out, capacity);
    if (length >= capacity && capacity > 0)
        out[capacity - 1] = '\0';
    return length;
}

// The image base of the module that this code is linked into is its handle.
ModuleHandle thisModule()
{
    return &__ImageBase;
}

uint32_t systemFolder(char* out, uint32_t capacity)
{
    return GetSystemDirectoryA(out, capacity);
}

bool registryRead(const char* keyPath, const char* valueName, char* out, uint32_t capacity)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    DWORD size = capacity;
    const LONG status =
        RegQueryValueExA(key, valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(out), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

bool pathExists(const char* path)
{
    return _access(path, 0) == 0;
}

uint32_t lastError()
{
    return GetLastError();
}

uint32_t currentProcessId()
{
    return GetCurrentProcessId();
}

void fileVersion(const char* path, uint32_t* high, uint32_t* low)
{
    if (high)
        *high = 0;
    if (low)
        *low = 0;
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path, &ignored);
    if (size == 0)
        return;
    HGLOBAL block = GlobalAlloc(GMEM_ZEROINIT, size);
    if (!block)
        return;
    void* value = nullptr;
    UINT valueLength = 0;
    if (GetFileVersionInfoA(path, 0, size, block)
        && VerQueryValueA(block, "\\", &value, &valueLength)
        && valueLength >= sizeof(VS_FIXEDFILEINFO)) {
        const auto* info = static_cast<const VS_FIXEDFILEINFO*>(value);
        if (high)
            *high = info->dwFileVersionMS;
        if (low)
            *low = info->dwFileVersionLS;
    }
    GlobalFree(block);
}

int32_t pathFromUrl(const std::u16string& url, char16_t* out, uint32_t capacity)
{
    std::fill(out, out + capacity, u'\0');
    DWORD length = capacity;
    return PathCreateFromUrlW(asWide(url), reinterpret_cast<wchar_t*>(out), &length, 0);
}

NamedMutex::NamedMutex(const char* name)
    : handle(CreateMutexA(nullptr, FALSE, name))
    , held(false)
{
}

NamedMutex::~NamedMutex()
{
    if (handle) {
        if (held)
            ReleaseMutex(handle);
        CloseHandle(handle);
    }
}

void NamedMutex::lock()
{
    if (handle && WaitForSingleObject(handle, INFINITE) != WAIT_FAILED)
        held = true;
}

void NamedMutex::unlock()
{
    if (handle)
        ReleaseMutex(handle);
    held = false;
}

} // namespace Qel::Platform
