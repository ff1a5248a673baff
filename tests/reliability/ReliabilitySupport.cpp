#include "ReliabilitySupport.h"

#include <algorithm>
#include <filesystem>

#ifdef _WIN32
#include <windows.h>
#include <psapi.h>
#else
#include <fstream>
#endif

namespace Qel::Reliability {

std::string pathOfLength(const Testing::TempFolder& folder, size_t bytes, const std::string& extension)
{
    constexpr size_t kFolderBytes = 200;
    constexpr size_t kLongestName = 240;
    std::filesystem::path path = folder.path("folder");
    // Whole folders while the rest would not make a legal file name; the
    // rest, less its separator, is the file's name.
    while (bytes > path.string().size() + 1 + kLongestName)
        path /= std::string(kFolderBytes, 'd');
    std::filesystem::create_directories(path);
    const size_t nameBytes = bytes - path.string().size() - 1;
    return (path / (std::string(nameBytes - extension.size(), 'f') + extension)).string();
}

#ifdef _WIN32

size_t residentKiB()
{
    PROCESS_MEMORY_COUNTERS counters = {};
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters))
        return 0;
    return counters.WorkingSetSize / 1024;
}

// Wine counts no handles (GetProcessHandleCount answers 0); there the value
// of a new handle stands in, since handle values are reused from the lowest
// free slot and so climb only when handles leak.
size_t openHandles()
{
    DWORD count = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &count) && count > 0)
        return count;
    HANDLE probe = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (!probe)
        return 0;
    CloseHandle(probe);
    return reinterpret_cast<uintptr_t>(probe) / 4;
}

#else

size_t residentKiB()
{
    std::ifstream status("/proc/self/status");
    std::string word;
    while (status >> word) {
        if (word == "VmRSS:") {
            size_t kib = 0;
            status >> kib;
            return kib;
        }
    }
    return 0;
}

size_t openHandles()
{
    std::error_code ignored;
    size_t count = 0;
    for (auto it = std::filesystem::directory_iterator("/proc/self/fd", ignored);
         it != std::filesystem::directory_iterator(); it.increment(ignored))
        ++count;
    return count;
}

#endif

} // namespace Qel::Reliability
