#include "source/MovieFileOpen.h"

#include <windows.h>

#include <vector>

namespace QelRuntime {

// Paths are UTF-8; the wide file API takes them whatever the code page.
std::FILE* openForReading(const std::string& utf8Path)
{
    int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8Path.c_str(), -1, nullptr, 0);
    if (units <= 0)
        return nullptr;
    std::vector<wchar_t> widePath(static_cast<size_t>(units));
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8Path.c_str(), -1, widePath.data(), units);
    DWORD attributes = GetFileAttributesW(widePath.data());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return nullptr;
    return _wfopen(widePath.data(), L"rb");
}

} // namespace QelRuntime
