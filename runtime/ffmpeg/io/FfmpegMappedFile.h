// A movie file read through memory mappings, so that an uncompressed picture
// of megabytes is handed out without the kernel copying it into a buffer
// first. The file is mapped in windows: one per cell of a fixed grid
// (kWindowBytes unless a test asks for others), each reaching past its cell
// by the last sample's size, so that a sample starting in a cell lies in
// that cell's window (a larger one stretches it). At most the window in
// use, the one prepared next and those that handed-out samples still hold
// stay mapped.
//
// Reading on from one cell to its neighbour, forwards or backwards, maps
// the following window in advance and has a prefetch thread bring its pages
// into memory (FfmpegPageFaulter) and then unmap the window just left, so
// that the reading thread only copies; a jump elsewhere prepares nothing.
// Without a thread, the reader maps pages as it touches them and unmaps a
// window as it leaves it. The system's side is FfmpegFileMapping. One
// reading thread at a time.
//
// A file cut short by another process while the movie is open fails the
// reads of samples it no longer holds (each range is checked against the
// file's length as it is handed out) instead of faulting in the reader;
// preparing pages cut off merely fails. Only a cut in the instant between
// that check and the caller's read of the bytes is beyond reach, as with
// any mapped file.
#pragma once

#include "io/FfmpegFileMapping.h"
#include "io/FfmpegPageFaulter.h"
#include "io/FfmpegPrefetchThread.h"
#include "source/MovieSource.h"

#include <cstdint>
#include <memory>
#include <string>

namespace QelRuntime {

class FfmpegMappedFile {
public:
    static constexpr int64_t kWindowBytes = 64 * 1024 * 1024;

    // Null when the file cannot be opened for reading, or windowBytes is
    // not a multiple of FfmpegFileMapping::granularity().
    static std::unique_ptr<FfmpegMappedFile> open(const std::string& path, int64_t windowBytes = kWindowBytes);
    ~FfmpegMappedFile();
    FfmpegMappedFile(const FfmpegMappedFile&) = delete;
    FfmpegMappedFile& operator=(const FfmpegMappedFile&) = delete;

    // The size bytes at offset, valid while bytes.owner lives. False when the
    // range does not lie within the file (as it was opened and as it is now)
    // or cannot be mapped.
    bool map(int64_t offset, int64_t size, SampleBytes& bytes);

    // How many windows have been mapped so far, prepared ones included.
    int64_t windowsMapped() const { return windowsMapped_; }

private:
    struct Window;
    using WindowPtr = std::shared_ptr<const Window>;

    FfmpegMappedFile(std::unique_ptr<FfmpegFileMapping> file, int64_t windowBytes);
    WindowPtr windowFor(int64_t offset, int64_t size);
    WindowPtr mapWindow(int64_t cell, int64_t reach);
    void prepareAfter(int64_t reach, WindowPtr left);

    std::unique_ptr<FfmpegFileMapping> file_;
    int64_t size_;
    int64_t windowBytes_;
    int64_t windowsMapped_ = 0;
    WindowPtr current_;
    WindowPtr prepared_;
    std::unique_ptr<FfmpegPageFaulter> faulter_;  // outlives the thread's jobs
    std::unique_ptr<FfmpegPrefetchThread> prefetch_;  // null when no thread could start
};

} // namespace QelRuntime
