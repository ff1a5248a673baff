#include "FfmpegReleasedMappings.h"

#include <sys/mman.h>

namespace Qel {

FfmpegReleasedMappings::~FfmpegReleasedMappings()
{
    unmapAll();
}

// Dropping the pages takes the memory map only for reading, so it goes on
// side by side with a preparation; it is where the cost of a window's
// teardown lies.
void FfmpegReleasedMappings::release(void* base, size_t length) noexcept
{
    madvise(base, length, MADV_DONTNEED);
    try {
        std::lock_guard<std::mutex> lock(mutex_);
        ranges_.emplace_back(base, length);
    } catch (const std::bad_alloc&) {
        munmap(base, length);
    }
}

void FfmpegReleasedMappings::unmapAll() noexcept
{
    std::vector<std::pair<void*, size_t>> ranges;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ranges.swap(ranges_);
    }
    for (const auto& [base, length] : ranges)
        munmap(base, length);
}

} // namespace Qel
