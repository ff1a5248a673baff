// Brings a file mapping's pages into the page tables ahead of the reader.
//
// The kernel's populate request (MADV_POPULATE_READ) walks the range page by
// page after each fault, which costs about as much again as the faults
// themselves. A single touch per fault-around block is enough instead: the
// kernel maps the whole block (64 KiB) around a faulting address. A touch
// from user code would raise SIGBUS on a page that another process has cut
// off the file meanwhile, so the touches are made by the kernel: the
// faulter writes one byte from each block into a pipe of its own, and a
// page that cannot be had ends the write with an error instead of a signal.
//
// POSIX only. Used from one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace Qel {

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

    int readEnd_;
    int writeEnd_;
};

} // namespace Qel
