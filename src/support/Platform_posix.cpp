// The platform seam on POSIX systems: the dynamic loader for modules, no
// registry, the plug-in's own folder as the system folder, and a process-wide
// registry of named recursive mutexes.
#include "support/Platform.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "support/FileUrl.h"
#include "support/TextConversion.h"

namespace Qel::Platform {

namespace {

// The handle of an already loaded object without keeping an extra reference,
// as GetModuleHandle gives one: the dlclose only undoes this lookup's count.
ModuleHandle handleOfLoaded(const char* path)
{
    void* handle = dlopen(path, RTLD_NOW | RTLD_NOLOAD);
    if (handle)
        dlclose(handle);
    return handle;
}

const char* baseName(const char* path)
{
    const char* slash = std::strrchr(path, '/');
    return slash ? slash + 1 : path;
}

struct LoadedSearch {
    const char* fileName;
    std::string path;
};

int matchLoadedObject(dl_phdr_info* info, size_t, void* data)
{
    auto* search = static_cast<LoadedSearch*>(data);
    if (!info->dlpi_name || !*info->dlpi_name)
        return 0;
    if (std::strcmp(info->dlpi_name, search->fileName) != 0
        && std::strcmp(baseName(info->dlpi_name), search->fileName) != 0)
        return 0;
    search->path = info->dlpi_name;
    return 1;
}

// The full path of a loaded object; the main program's entry in the link map
// has an empty name, so its path comes from /proc.
std::string pathOfModule(ModuleHandle module)
{
    link_map* map = nullptr;
    if (module && dlinfo(module, RTLD_DI_LINKMAP, &map) == 0 && map && map->l_name && *map->l_name) {
        char resolved[PATH_MAX];
        return realpath(map->l_name, resolved) ? std::string(resolved) : std::string(map->l_name);
    }
    char exe[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", exe, sizeof exe - 1);
    return length > 0 ? std::string(exe, static_cast<size_t>(length)) : std::string();
}

void anchor() {}

std::string folderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The folders in which the dynamic loader looks for a library that module
// asks for by plain name, in its order (its cache aside). False when the
// loader does not say.
bool loaderSearchFolders(ModuleHandle module, std::vector<std::string>& folders)
{
    Dl_serinfo size{};
    if (!module || dlinfo(module, RTLD_DI_SERINFOSIZE, &size) != 0)
        return false;
    std::vector<std::max_align_t> storage(size.dls_size / sizeof(std::max_align_t) + 1);
    auto* info = reinterpret_cast<Dl_serinfo*>(storage.data());
    if (dlinfo(module, RTLD_DI_SERINFOSIZE, info) != 0 || dlinfo(module, RTLD_DI_SERINFO, info) != 0)
        return false;
    for (unsigned int i = 0; i < info->dls_cnt; ++i)
        folders.emplace_back(info->dls_serpath[i].dls_name);
    return true;
}

ModuleHandle loadFromLoaderFolders(const std::string& name)
{
    std::vector<std::string> folders;
    if (!loaderSearchFolders(thisModule(), folders))
        return nullptr;
    const auto absolute = [](const std::string& folder) { return isAbsolutePath(folder.c_str()); };
    // Every folder fixed: the loader's own search, which also asks its cache.
    if (std::all_of(folders.begin(), folders.end(), absolute))
        return dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    for (const std::string& folder : folders) {
        if (!absolute(folder))
            continue;
        if (ModuleHandle module = loadModuleAt((folder + '/' + name).c_str()))
            return module;
    }
    return nullptr;
}

} // namespace

ModuleHandle loadModule(const char* path)
{
    return path ? dlopen(path, RTLD_NOW | RTLD_LOCAL) : nullptr;
}

bool isAbsolutePath(const char* path)
{
    return path && path[0] == '/';
}

ModuleHandle loadModuleAt(const char* absolutePath)
{
    if (!isAbsolutePath(absolutePath)) {
        errno = EINVAL;
        return nullptr;
    }
    return loadModule(absolutePath);
}

ModuleHandle loadInstalledLibrary(const std::u16string& fileName)
{
    const std::string name = toUtf8(fileName);
    if (name.empty() || name.find('/') != std::string::npos)
        return nullptr;
    if (ModuleHandle module = loadFromLoaderFolders(name))
        return module;
    const std::string pluginFolder = folderOf(pathOfModule(thisModule()));
    return pluginFolder.empty() ? nullptr : loadModuleAt((pluginFolder + name).c_str());
}

void freeModule(ModuleHandle module)
{
    if (module)
        dlclose(module);
}

void* findSymbol(ModuleHandle module, const char* name)
{
    return module ? dlsym(module, name) : nullptr;
}

ModuleHandle findLoadedModule(const char* fileName)
{
    if (!fileName || !*fileName)
        return nullptr;
    LoadedSearch search{fileName, {}};
    if (!dl_iterate_phdr(matchLoadedObject, &search))
        return nullptr;
    return handleOfLoaded(search.path.c_str());
}

uint32_t moduleFileName(ModuleHandle module, char* out, uint32_t capacity)
{
    if (!out || capacity == 0)
        return 0;
    const std::string path = pathOfModule(module);
    if (path.empty())
        return 0;
    // As on Windows: a path that does not fit is cut to capacity - 1
    // characters and the capacity is returned.
    const size_t copied = std::min<size_t>(path.size(), capacity - 1);
    std::memcpy(out, path.data(), copied);
    out[copied] = '\0';
    return path.size() < capacity ? static_cast<uint32_t>(copied) : capacity;
}

ModuleHandle thisModule()
{
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&anchor), &info) || !info.dli_fname)
        return nullptr;
    // When this code is linked into the program itself, the loader knows it
    // by no file name; the program's own handle stands for it.
    if (ModuleHandle handle = handleOfLoaded(info.dli_fname))
        return handle;
    return handleOfLoaded(nullptr);
}

uint32_t systemFolder(char* out, uint32_t capacity)
{
    const std::string folder = folderOf(pathOfModule(thisModule()));
    if (folder.empty())
        return 0;
    if (!out || folder.size() >= capacity)
        return static_cast<uint32_t>(folder.size() + 1);
    std::memcpy(out, folder.c_str(), folder.size() + 1);
    return static_cast<uint32_t>(folder.size());
}

bool registryRead(const char*, const char*, char*, uint32_t)
{
    return false;
}

bool pathExists(const char* path)
{
    return path && access(path, F_OK) == 0;
}

uint32_t lastError()
{
    return static_cast<uint32_t>(errno);
}

uint32_t currentProcessId()
{
    return static_cast<uint32_t>(getpid());
}

void fileVersion(const char* path, uint32_t* high, uint32_t* low)
{
    uint32_t version[2] = {0, 0};
    if (ModuleHandle module = loadModuleAt(path)) {
        if (const auto* exported = static_cast<const uint32_t*>(dlsym(module, "qelRuntimeFileVersion"))) {
            version[0] = exported[0];
            version[1] = exported[1];
        }
        dlclose(module);
    }
    if (high)
        *high = version[0];
    if (low)
        *low = version[1];
}

int32_t pathFromUrl(const std::u16string& url, char16_t* out, uint32_t capacity)
{
    std::fill(out, out + capacity, u'\0');
    return posixPathFromFileUrl(url, out, capacity);
}

} // namespace Qel::Platform
