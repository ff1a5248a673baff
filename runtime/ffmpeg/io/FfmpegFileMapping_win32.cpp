#include "io/FfmpegFileMapping.h"

#include <windows.h>

#include <algorithm>
#include <vector>

namespace QelRuntime {

namespace {

HANDLE handleOf(intptr_t value)
{
    return reinterpret_cast<HANDLE>(value);
}

// Paths are UTF-8; the wide file API takes them whatever the code page.
std::vector<wchar_t> widePathOf(const std::string& utf8Path)
{
    const int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8Path.c_str(), -1, nullptr, 0);
    if (units <= 0)
        return {};
    std::vector<wchar_t> widePath(static_cast<size_t>(units));
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8Path.c_str(), -1, widePath.data(), units);
    return widePath;
}

} // namespace

int64_t FfmpegFileMapping::granularity()
{
    static const int64_t granularityBytes = [] {
        SYSTEM_INFO system{};
        GetSystemInfo(&system);
        return int64_t(system.dwAllocationGranularity);
    }();
    return granularityBytes;
}

std::unique_ptr<FfmpegFileMapping> FfmpegFileMapping::open(const std::string& utf8Path)
{
    const std::vector<wchar_t> widePath = widePathOf(utf8Path);
    if (widePath.empty())
        return nullptr;
    // Others may go on writing, renaming or deleting the movie, as they may
    // while FFmpeg's own reader has it open.
    const HANDLE file = CreateFileW(widePath.data(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return nullptr;
    LARGE_INTEGER size{};
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileSizeEx(file, &size)) {
        CloseHandle(file);
        return nullptr;
    }
    // An empty file has no mapping; nothing in it can be asked for.
    HANDLE mapping = nullptr;
    if (size.QuadPart > 0) {
        mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
        if (!mapping) {
            CloseHandle(file);
            return nullptr;
        }
    }
    return std::unique_ptr<FfmpegFileMapping>(new FfmpegFileMapping(
        reinterpret_cast<intptr_t>(file), reinterpret_cast<intptr_t>(mapping), int64_t(size.QuadPart)));
}

FfmpegFileMapping::~FfmpegFileMapping()
{
    if (mapping_)
        CloseHandle(handleOf(mapping_));
    CloseHandle(handleOf(file_));
}

int64_t FfmpegFileMapping::currentSize() const
{
    LARGE_INTEGER size{};
    return GetFileSizeEx(handleOf(file_), &size) ? int64_t(size.QuadPart) : -1;
}

const uint8_t* FfmpegFileMapping::mapView(int64_t offset, size_t length) const
{
    if (!mapping_)
        return nullptr;
    const void* base = MapViewOfFile(handleOf(mapping_), FILE_MAP_READ, DWORD(uint64_t(offset) >> 32),
                                     DWORD(uint64_t(offset) & 0xFFFFFFFFu), length);
    return static_cast<const uint8_t*>(base);
}

void FfmpegFileMapping::unmapView(const uint8_t* base, size_t length)
{
    UnmapViewOfFile(base);
}

// At an offset given with each call: the handle's own position is neither
// used nor relied on.
size_t FfmpegFileMapping::read(int64_t offset, uint8_t* into, size_t length) const
{
    size_t done = 0;
    while (done < length) {
        const uint64_t at = uint64_t(offset) + done;
        OVERLAPPED position{};
        position.Offset = DWORD(at & 0xFFFFFFFFu);
        position.OffsetHigh = DWORD(at >> 32);
        const DWORD asked = DWORD(std::min<size_t>(length - done, size_t(1) << 30));
        DWORD got = 0;
        if (!ReadFile(handleOf(file_), into + done, asked, &got, &position) || got == 0)
            break;
        done += got;
    }
    return done;
}

} // namespace QelRuntime
