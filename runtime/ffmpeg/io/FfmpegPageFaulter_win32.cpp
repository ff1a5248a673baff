#include "io/FfmpegPageFaulter.h"

#include <windows.h>

#include <algorithm>

namespace QelRuntime {

namespace {

constexpr size_t kBlockBytes = 64 * 1024;

} // namespace

std::unique_ptr<FfmpegPageFaulter> FfmpegPageFaulter::create()
{
    return std::unique_ptr<FfmpegPageFaulter>(new FfmpegPageFaulter(-1, -1));
}

FfmpegPageFaulter::~FfmpegPageFaulter() = default;

bool FfmpegPageFaulter::fault(const uint8_t* base, size_t length)
{
    const size_t blocks = (length + kBlockBytes - 1) / kBlockBytes;
    return faultBatch(base, length, 0, blocks);
}

// One byte of each of count blocks from block first, copied by the system.
bool FfmpegPageFaulter::faultBatch(const uint8_t* base, size_t length, size_t first, size_t count)
{
    const HANDLE self = GetCurrentProcess();
    for (size_t i = first; i < first + count; ++i) {
        uint8_t touched = 0;
        SIZE_T copied = 0;
        const uint8_t* at = base + std::min(i * kBlockBytes, length - 1);
        if (!ReadProcessMemory(self, at, &touched, 1, &copied) || copied != 1)
            return false;
    }
    return true;
}

} // namespace QelRuntime
