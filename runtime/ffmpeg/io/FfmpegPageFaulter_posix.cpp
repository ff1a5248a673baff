#include "io/FfmpegPageFaulter.h"

#include <algorithm>

#include <fcntl.h>
#include <sys/uio.h>
#include <unistd.h>

namespace QelRuntime {

namespace {

// The kernel's fault-around block (its default; a smaller one only means
// that some pages are left for the reader to fault in).
constexpr size_t kBlockBytes = 64 * 1024;
// Touches per write: well within a pipe's default capacity (64 KiB), so a
// write never waits for the pipe to be drained.
constexpr size_t kBatch = 256;

} // namespace

std::unique_ptr<FfmpegPageFaulter> FfmpegPageFaulter::create()
{
    int ends[2];
    if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
        return nullptr;
    return std::unique_ptr<FfmpegPageFaulter>(new FfmpegPageFaulter(ends[0], ends[1]));
}

FfmpegPageFaulter::~FfmpegPageFaulter()
{
    ::close(readEnd_);
    ::close(writeEnd_);
}

bool FfmpegPageFaulter::fault(const uint8_t* base, size_t length)
{
    const size_t blocks = (length + kBlockBytes - 1) / kBlockBytes;
    for (size_t first = 0; first < blocks; first += kBatch) {
        if (!faultBatch(base, length, first, std::min(kBatch, blocks - first)))
            return false;
    }
    return true;
}

// One byte of each of count blocks from block first, written to the pipe
// and read back (the pipe holds nothing else, so one read empties it). A
// write cut short by a page that cannot be had says so.
bool FfmpegPageFaulter::faultBatch(const uint8_t* base, size_t length, size_t first, size_t count)
{
    iovec touches[kBatch];
    for (size_t i = 0; i < count; ++i)
        touches[i] = {const_cast<uint8_t*>(base) + std::min((first + i) * kBlockBytes, length - 1), 1};
    const ssize_t written = writev(writeEnd_, touches, int(count));
    uint8_t drained[kBatch];
    return read(readEnd_, drained, sizeof drained) == written && written == ssize_t(count);
}

} // namespace QelRuntime
