#include "FfmpegMappedFile.h"

#include <algorithm>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Qel {

// File bytes [start, end) mapped at base; unmapped with the last owner.
struct FfmpegMappedFile::Window {
    const uint8_t* base;
    int64_t start;
    int64_t end;

    Window(const uint8_t* mappedBase, int64_t mappedStart, int64_t mappedEnd)
        : base(mappedBase), start(mappedStart), end(mappedEnd)
    {
    }
    ~Window() { munmap(const_cast<uint8_t*>(base), size_t(end - start)); }
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    bool holds(int64_t offset, int64_t size) const { return offset >= start && size <= end - offset; }
};

std::unique_ptr<FfmpegMappedFile> FfmpegMappedFile::open(const std::string& path, int64_t windowBytes)
{
    static const int64_t page = sysconf(_SC_PAGESIZE);
    if (windowBytes <= 0 || windowBytes % page != 0)
        return nullptr;
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0)
        return nullptr;
    struct stat status {};
    if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(descriptor);
        return nullptr;
    }
    return std::unique_ptr<FfmpegMappedFile>(new FfmpegMappedFile(descriptor, int64_t(status.st_size), windowBytes));
}

FfmpegMappedFile::~FfmpegMappedFile()
{
    ::close(descriptor_);
}

bool FfmpegMappedFile::map(int64_t offset, int64_t size, Runtime::SampleBytes& bytes)
{
    if (offset < 0 || size <= 0 || offset > size_ || size > size_ - offset)
        return false;
    if (!current_ || !current_->holds(offset, size)) {
        const int64_t start = offset - offset % windowBytes_;
        const int64_t end = std::min(std::max(start + windowBytes_, offset + size), size_);
        std::shared_ptr<const Window> window = mapWindow(start, end);
        if (!window)
            return false;
        current_ = std::move(window);
    }
    bytes = {current_->base + (offset - current_->start), size_t(size), current_};
    return true;
}

std::shared_ptr<const FfmpegMappedFile::Window> FfmpegMappedFile::mapWindow(int64_t start, int64_t end) const
{
    void* base = mmap(nullptr, size_t(end - start), PROT_READ, MAP_PRIVATE, descriptor_, off_t(start));
    if (base == MAP_FAILED)
        return nullptr;
    try {
        return std::make_shared<const Window>(static_cast<const uint8_t*>(base), start, end);
    } catch (...) {
        munmap(base, size_t(end - start));
        throw;
    }
}

} // namespace Qel
