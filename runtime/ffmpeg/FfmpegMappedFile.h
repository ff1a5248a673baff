// A movie file read through memory mappings, so that an uncompressed picture
// of megabytes is handed out without the kernel copying it into a buffer
// first. The file is mapped in windows (kWindowBytes unless a test asks
// for others) on a fixed grid (a
// sample that crosses the grid stretches its window): reading forwards or
// backwards maps each window once, and at most the window in use and those
// that handed-out samples still hold stay mapped. POSIX only (the FFmpeg
// movie source exists in the Linux build alone). One thread at a time.
//
// The file is taken to keep its length while the movie is open: a sample
// that lay in the file when mapped but has since been cut off by another
// process faults when read, as with any mapped file.
#pragma once

#include "core/MovieSource.h"

#include <cstdint>
#include <memory>
#include <string>

namespace Qel {

class FfmpegMappedFile {
public:
    static constexpr int64_t kWindowBytes = 64 * 1024 * 1024;

    // Null when the file cannot be opened for reading.
    static std::unique_ptr<FfmpegMappedFile> open(const std::string& path, int64_t windowBytes = kWindowBytes);
    ~FfmpegMappedFile();
    FfmpegMappedFile(const FfmpegMappedFile&) = delete;
    FfmpegMappedFile& operator=(const FfmpegMappedFile&) = delete;

    // The size bytes at offset, valid while bytes.owner lives. False when the
    // range does not lie within the file or cannot be mapped.
    bool map(int64_t offset, int64_t size, Runtime::SampleBytes& bytes);

private:
    struct Window;

    FfmpegMappedFile(int descriptor, int64_t size, int64_t windowBytes)
        : descriptor_(descriptor), size_(size), windowBytes_(windowBytes)
    {
    }
    std::shared_ptr<const Window> mapWindow(int64_t start, int64_t end) const;

    int descriptor_;
    int64_t size_;
    int64_t windowBytes_;
    std::shared_ptr<const Window> current_;
};

} // namespace Qel
