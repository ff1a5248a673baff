// Finding the folder of QuickTime.qts and loading it from there.
#include <cstring>

#include "quicktime/QtLoaderInternal.h"

namespace Qel {

namespace {

// Windows folders end in '\'. Elsewhere the same rules apply with '/': a
// text ending in either is taken as a folder already, and '/' is appended
// where Windows appends '\'.
#if defined(_WIN32)
constexpr char kSeparator = '\\';
constexpr char kExtensionSubfolder[] = "QuickTime\\";
#else
constexpr char kSeparator = '/';
constexpr char kExtensionSubfolder[] = "QuickTime/";
#endif

bool endsInSeparator(const char* text, size_t length)
{
    return length > 0 && (text[length - 1] == '\\' || text[length - 1] == '/');
}

// Appends the separator to a non-empty text that lacks one. False (text
// untouched) when the buffer has no room for it.
bool giveSeparator(char* text, uint32_t size)
{
    const size_t length = std::strlen(text);
    if (length == 0 || endsInSeparator(text, length))
        return true;
    if (length + 2 > size)
        return false;
    text[length] = kSeparator;
    text[length + 1] = '\0';
    return true;
}

// The folder of an already loaded QuickTime.qts, separator kept.
bool loadedLibraryFolder(char* path, uint32_t size)
{
    const Platform::ModuleHandle loaded = Platform::findLoadedModule(kQtLibraryName);
    if (!loaded)
        return false;
    char fileName[kQtPathCapacity];
    const uint32_t length = Platform::moduleFileName(loaded, fileName, sizeof fileName);
    // A name cut at the capacity is no path at all.
    if (length == 0 || length >= sizeof fileName)
        return false;
    const uint32_t nameLength = sizeof kQtLibraryName - 1;
    if (length <= nameLength || size <= length - nameLength + 1)
        return false;
    std::memcpy(path, fileName, length - nameLength);
    path[length - nameLength] = '\0';
    return true;
}

// A relative folder would be looked up from the current folder, which may
// be anyone's (a download folder, a network share): it counts as missing.
bool existingRegistryFolder(const char* valueName, char* path, uint32_t size)
{
    QtRegistryFolderRead(kQtRegistryKey, valueName, path, size);
    if (Platform::isAbsolutePath(path) && Platform::pathExists(path))
        return true;
    path[0] = '\0';
    return false;
}

bool existingSystemFolder(char* path, uint32_t size)
{
    const uint32_t length = Platform::systemFolder(path, size);
    if (length > 0 && length < size && Platform::pathExists(path))
        return true;
    path[0] = '\0';
    return false;
}

// Only the file at the full path: a relative folder loads nothing rather
// than whatever the current folder holds.
Platform::ModuleHandle loadFrom(const char* folder, const char* name)
{
    char path[kQtPathCapacity];
    if (std::strlen(folder) + std::strlen(name) >= sizeof path)
        return nullptr;
    std::strcpy(path, folder);
    std::strcat(path, name);
    return Platform::loadModuleAt(path);
}

} // namespace

void QtRegistryFolderRead(const char* keyPath, const char* valueName, char* text, uint32_t size)
{
    if (!text || size == 0)
        return;
    text[0] = '\0';
    if (!Platform::registryRead(keyPath, valueName, text, size)) {
        text[0] = '\0';
        return;
    }
    // A value stored without its NUL, or one that leaves no room for the
    // separator, is treated as absent: cutting it would name another folder.
    if (!std::memchr(text, '\0', size) || !giveSeparator(text, size))
        text[0] = '\0';
}

int32_t QtFolderFind(char* path, uint32_t size)
{
    if (!path || size == 0)
        return 0;
    path[0] = '\0';
    const bool found = loadedLibraryFolder(path, size) || existingRegistryFolder("QTSysDir", path, size) ||
                       existingRegistryFolder("QuickTime.qts folder", path, size) ||
                       existingSystemFolder(path, size);
    // A folder that cannot take its separator is not usable.
    if (found && !giveSeparator(path, size))
        path[0] = '\0';
    return path[0] != '\0' ? 1 : 0;
}

uint32_t QtExtensionFolderFind(char* path, uint32_t size)
{
    const uint32_t subfolderLength = sizeof kExtensionSubfolder - 1;
    if (!path || size == 0)
        return 0;
    // Taken without an existence test, but a relative folder counts as
    // missing, as a relative QTSysDir does, so that the system folder's
    // QuickTime sub-folder is still tried.
    QtRegistryFolderRead(kQtRegistryKey, "QTExtDir", path, size);
    if (Platform::isAbsolutePath(path))
        return static_cast<uint32_t>(std::strlen(path));
    path[0] = '\0';
    if (size <= subfolderLength + 1)
        return 0;

    // Both with room left for the sub-folder's name.
    const uint32_t capacity = size - subfolderLength;
    char systemFolder[kQtPathCapacity] = "";
    char quickTimeFolder[kQtPathCapacity] = "";
    const uint32_t systemLength = Platform::systemFolder(systemFolder, capacity < kQtPathCapacity ? capacity : kQtPathCapacity);
    if (systemLength == 0 || systemLength >= capacity)
        systemFolder[0] = '\0';
    QtFolderFind(quickTimeFolder, capacity < kQtPathCapacity ? capacity : kQtPathCapacity);
    if (quickTimeFolder[0] == '\0')
        return 0;
    giveSeparator(systemFolder, sizeof systemFolder);
    std::strcpy(path, quickTimeFolder);
    if (std::strcmp(systemFolder, quickTimeFolder) == 0)
        std::strcat(path, kExtensionSubfolder);
    return static_cast<uint32_t>(std::strlen(path));
}

Platform::ModuleHandle QtLibraryLoad(const char* name)
{
    const uint32_t capacity = kQtPathCapacity - static_cast<uint32_t>(std::strlen(name));
    char folder[kQtPathCapacity];
    if (!QtFolderFind(folder, capacity))
        return nullptr;
    if (Platform::ModuleHandle library = loadFrom(folder, name))
        return library;
    char extensionFolder[kQtPathCapacity];
    if (QtExtensionFolderFind(extensionFolder, capacity) == 0)
        return nullptr;
    return loadFrom(extensionFolder, name);
}

} // namespace Qel
