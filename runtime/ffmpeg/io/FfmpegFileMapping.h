// The operating system's side of FfmpegMappedFile: a movie file opened for
// mapping, views of it mapped and unmapped, its bytes read at an offset, and
// its length asked anew. One file per platform (FfmpegFileMapping_posix.cpp:
// open/mmap/pread/fstat; FfmpegFileMapping_win32.cpp: CreateFileW/
// CreateFileMappingW/MapViewOfFile/ReadFile/GetFileSizeEx). The only place
// besides the page faulter and the large tables' advice where the FFmpeg
// movie source calls the system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace QelRuntime {

class FfmpegFileMapping {
public:
    // The unit of view offsets: the page size, or on Windows the allocation
    // granularity (64 KiB).
    static int64_t granularity();

    // Null when the UTF-8 path names no regular file that can be read.
    static std::unique_ptr<FfmpegFileMapping> open(const std::string& utf8Path);
    ~FfmpegFileMapping();
    FfmpegFileMapping(const FfmpegFileMapping&) = delete;
    FfmpegFileMapping& operator=(const FfmpegFileMapping&) = delete;

    // The length when opened; views reach no further.
    int64_t size() const { return size_; }
    // The length now, -1 when it cannot be learned: another process may have
    // cut the file short since it was opened.
    int64_t currentSize() const;

    // length bytes from offset (a multiple of granularity()), read-only;
    // null on failure. Each view is unmapped once, with its length.
    const uint8_t* mapView(int64_t offset, size_t length) const;
    static void unmapView(const uint8_t* base, size_t length);

    // Copies up to length bytes from offset into `into`: how many it copied,
    // fewer where the file (as it is now) ends first or cannot be read.
    size_t read(int64_t offset, uint8_t* into, size_t length) const;

private:
    FfmpegFileMapping(intptr_t file, intptr_t mapping, int64_t size) : file_(file), mapping_(mapping), size_(size) {}

    intptr_t file_;     // the descriptor, or the file's HANDLE
    intptr_t mapping_;  // the file mapping's HANDLE (Windows; 0 for an empty file or on POSIX)
    int64_t size_;
};

} // namespace QelRuntime
