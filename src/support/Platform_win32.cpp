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

bool isSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

// The LOAD_LIBRARY_SEARCH_* flags came with an update to Windows 7; where
// they are missing, so is AddDllDirectory (the documented way to tell), and
// LoadLibraryEx refuses them.
DWORD fullPathLoadFlags()
{
    static const bool searchFlags =
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "AddDllDirectory") != nullptr;
    return searchFlags ? LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS
                       : LOAD_WITH_ALTERED_SEARCH_PATH;
}

// LoadLibraryEx takes backslashes only in a full path.
template <class Char>
std::basic_string<Char> withBackslashes(const Char* path)
{
    std::basic_string<Char> text(path);
    std::replace(text.begin(), text.end(), Char('/'), Char('\\'));
    return text;
}

template <class Char>
bool isAbsolute(const Char* path)
{
    if (!path)
        return false;
    const bool drive = ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'))
                       && path[1] == ':' && isSeparator(path[2]);
    return drive || (isSeparator(path[0]) && isSeparator(path[1]));
}

HMODULE loadLibraryEx(const char* path, DWORD flags)
{
    return LoadLibraryExA(path, nullptr, flags);
}

HMODULE loadLibraryEx(const wchar_t* path, DWORD flags)
{
    return LoadLibraryExW(path, nullptr, flags);
}

template <class Char>
ModuleHandle loadAt(const Char* path)
{
    if (!isAbsolute(path)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return loadLibraryEx(withBackslashes(path).c_str(), fullPathLoadFlags());
}

// The folder of a loaded module (null: the program), with its separator;
// empty when its name cannot be had.
std::wstring moduleFolder(HMODULE module)
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        if (path.size() >= 32768)
            return {};
        path.resize(path.size() * 2);
    }
    const size_t cut = path.find_last_of(L"\\/");
    return cut == std::wstring::npos ? std::wstring() : path.substr(0, cut + 1);
}

std::wstring systemFolderWide()
{
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return {};
    std::wstring text(folder, length);
    if (!isSeparator(text.back()))
        text += L'\\';
    return text;
}

} // namespace

ModuleHandle loadModule(const char* path)
{
    return LoadLibraryA(path);
}

bool isAbsolutePath(const char* path)
{
    return isAbsolute(path);
}

ModuleHandle loadModuleAt(const char* absolutePath)
{
    return loadAt(absolutePath);
}

ModuleHandle loadInstalledLibrary(const std::u16string& fileName)
{
    const std::wstring name(asWide(fileName));
    const std::wstring folders[] = {moduleFolder(nullptr), moduleFolder(asModule(thisModule())),
                                    systemFolderWide()};
    for (const std::wstring& folder : folders) {
        if (folder.empty())
            continue;
        if (ModuleHandle module = loadAt((folder + name).c_str()))
            return module;
    }
    return nullptr;
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
