#include "FfmpegMappedFile.h"

#include <algorithm>
#include <system_error>
#include <utility>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Qel {

// File bytes [start, end) mapped at base, unmapped by the last owner, which
// is normally the prefetch thread's job.
struct FfmpegMappedFile::Window {
    const uint8_t* base;
    int64_t cell;
    int64_t start;
    int64_t end;

    Window(const uint8_t* mappedBase, int64_t windowCell, int64_t mappedStart, int64_t mappedEnd)
        : base(mappedBase), cell(windowCell), start(mappedStart), end(mappedEnd)
    {
    }
    ~Window() { munmap(const_cast<uint8_t*>(base), length()); }
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    size_t length() const { return size_t(end - start); }
    bool holds(int64_t offset, int64_t size) const { return offset >= start && size <= end - offset; }
};

namespace {

const int64_t kPageBytes = sysconf(_SC_PAGESIZE);

int64_t wholePages(int64_t bytes)
{
    return (bytes + kPageBytes - 1) / kPageBytes * kPageBytes;
}

} // namespace

std::unique_ptr<FfmpegMappedFile> FfmpegMappedFile::open(const std::string& path, int64_t windowBytes)
{
    if (windowBytes <= 0 || windowBytes % kPageBytes != 0)
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

FfmpegMappedFile::FfmpegMappedFile(int descriptor, int64_t size, int64_t windowBytes)
    : descriptor_(descriptor), size_(size), windowBytes_(windowBytes)
{
    // Reading works the same without a faulter or a thread; the reader then
    // maps its own pages.
    faulter_ = FfmpegPageFaulter::create();
    if (!faulter_)
        return;
    try {
        prefetch_ = std::make_unique<FfmpegPrefetchThread>();
    } catch (const std::system_error&) {
        faulter_.reset();  // nothing would use it
    }
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
        WindowPtr window = windowFor(offset, size);
        if (!window)
            return false;
        prepareAfter(wholePages(size), std::exchange(current_, std::move(window)));
    }
    bytes = {current_->base + (offset - current_->start), size_t(size), current_};
    return true;
}

FfmpegMappedFile::WindowPtr FfmpegMappedFile::windowFor(int64_t offset, int64_t size)
{
    WindowPtr prepared = std::move(prepared_);
    if (prepared && prepared->holds(offset, size))
        return prepared;
    const int64_t cell = offset / windowBytes_;
    return mapWindow(cell, std::max(wholePages(size), offset + size - cell * windowBytes_ - windowBytes_));
}

// The cell's bytes and reach bytes after it, as far as the file goes.
FfmpegMappedFile::WindowPtr FfmpegMappedFile::mapWindow(int64_t cell, int64_t reach)
{
    const int64_t start = cell * windowBytes_;
    const int64_t end = std::min(start + windowBytes_ + reach, size_);
    void* base = mmap(nullptr, size_t(end - start), PROT_READ, MAP_PRIVATE, descriptor_, off_t(start));
    if (base == MAP_FAILED)
        return nullptr;
    ++windowsMapped_;
    try {
        return std::make_shared<const Window>(static_cast<const uint8_t*>(base), cell, start, end);
    } catch (...) {
        munmap(base, size_t(end - start));
        throw;
    }
}

// Having stepped from the window left (none at first) to its neighbour, the
// current one, the reader will most likely step on the same way once it has
// read this window. The prefetch thread then also releases the window left,
// after the preparation: unmapping its pages would cost the reader about
// half as much again as copying them.
void FfmpegMappedFile::prepareAfter(int64_t reach, WindowPtr left)
{
    const int64_t step = left ? current_->cell - left->cell : 1;
    const int64_t next = current_->cell + step;
    const bool pastTheEnd = step == 1 && current_->end >= size_;  // the current window reaches it
    if (!prefetch_ || (step != 1 && step != -1) || next < 0 || pastTheEnd)
        return;
    prepared_ = mapWindow(next, reach);
    if (!prepared_)
        return;
    // A part that cannot be faulted in (a file cut short meanwhile) ends the
    // preparation: the reader then faults as it would without.
    prefetch_->request([faulter = faulter_.get(), window = prepared_, left = std::move(left)]() mutable {
        faulter->fault(window->base, window->length());
        left.reset();
    });
}

} // namespace Qel
