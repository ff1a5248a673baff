// Brings a file mapping's pages into memory ahead of the reader, without
// ever faulting on a page another process has cut off the file meanwhile.
// One file per platform.
//
// Linux (FfmpegPageFaulter_posix.cpp): the kernel's populate request (MADV_POPULATE_READ) walks the range page by
// page after each fault, which costs about as much again as the faults
// themselves. A single touch per fault-around block is enough instead: the
// kernel maps the whole block (64 KiB) around a faulting address. A touch
// from user code would raise SIGBUS on a page that another process has cut
// off the file meanwhile, so the touches are made by the kernel: the
// faulter writes one byte from each block into a pipe of its own, and a
// page that cannot be had ends the write with an error instead of a signal.
//
// Windows (FfmpegPageFaulter_win32.cpp): a touch of a page that cannot be
// read in raises an in-page error, which MinGW code cannot catch; the
// touches are made by the system instead, with ReadProcessMemory on the
// process itself, which answers a partial copy rather than raising. One
// touch per 64 KiB block, as on Linux: the memory manager reads a cluster
// of pages around each fault.
//
// Used from one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace QelRuntime {

class FfmpegPageFaulter {
public:
    // Null when no pipe can be had.
    static std::unique_ptr<FfmpegPageFaulter> create();
    ~FfmpegPageFaulter();
    FfmpegPageFaulter(const FfmpegPageFaulter&) = delete;
    FfmpegPageFaulter& operator=(const FfmpegPageFaulter&) = delete;

    // Faults in [base, base + length) from the front. False when a part of
    // it could not be faulted in; the rest is then left alone.
    bool fault(const uint8_t* base, size_t length);

private:
    FfmpegPageFaulter(int readEnd, int writeEnd) : readEnd_(readEnd), writeEnd_(writeEnd) {}
    bool faultBatch(const uint8_t* base, size_t length, size_t first, size_t count);

    int readEnd_;   // the pipe's ends (Linux; -1 on Windows)
    int writeEnd_;
};

} // namespace QelRuntime
