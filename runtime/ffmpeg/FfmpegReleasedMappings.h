// Mappings whose pages have been dropped but whose address ranges still
// stand, to be unmapped together at a moment of the reader's choosing.
// Unmapping holds the process's memory map for writing and so waits for a
// window being prepared on the prefetch thread; the reader unmaps these just
// before it asks for the next preparation, when the last one has normally
// finished.
//
// Shared by a mapped file and its windows (a window may outlive its file);
// the last owner unmaps what is left. Any thread may add or unmap.
#pragma once

#include <cstddef>
#include <mutex>
#include <utility>
#include <vector>

namespace Qel {

class FfmpegReleasedMappings {
public:
    FfmpegReleasedMappings() = default;
    ~FfmpegReleasedMappings();
    FfmpegReleasedMappings(const FfmpegReleasedMappings&) = delete;
    FfmpegReleasedMappings& operator=(const FfmpegReleasedMappings&) = delete;

    // Drops the range's pages now and unmaps it later (at once when there
    // is no memory to remember it).
    void release(void* base, size_t length) noexcept;
    void unmapAll() noexcept;

private:
    std::mutex mutex_;
    std::vector<std::pair<void*, size_t>> ranges_;
};

} // namespace Qel
