#include "io/FfmpegMappedFile.h"

#include <algorithm>
#include <system_error>
#include <utility>

namespace QelRuntime {

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
    ~Window() { FfmpegFileMapping::unmapView(base, length()); }
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    size_t length() const { return size_t(end - start); }
    bool holds(int64_t offset, int64_t size) const { return offset >= start && size <= end - offset; }
};

namespace {

int64_t wholePages(int64_t bytes)
{
    const int64_t unit = FfmpegFileMapping::granularity();
    return (bytes + unit - 1) / unit * unit;
}

} // namespace

std::unique_ptr<FfmpegMappedFile> FfmpegMappedFile::open(const std::string& path, int64_t windowBytes)
{
    if (windowBytes <= 0 || windowBytes % FfmpegFileMapping::granularity() != 0)
        return nullptr;
    std::unique_ptr<FfmpegFileMapping> file = FfmpegFileMapping::open(path);
    if (!file)
        return nullptr;
    return std::unique_ptr<FfmpegMappedFile>(new FfmpegMappedFile(std::move(file), windowBytes));
}

FfmpegMappedFile::FfmpegMappedFile(std::unique_ptr<FfmpegFileMapping> file, int64_t windowBytes)
    : file_(std::move(file)), size_(file_->size()), windowBytes_(windowBytes)
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

// The windows hold no reference to the file's handles, which the system
// keeps alive for as long as a view is mapped.
FfmpegMappedFile::~FfmpegMappedFile() = default;

bool FfmpegMappedFile::map(int64_t offset, int64_t size, SampleBytes& bytes)
{
    if (offset < 0 || size <= 0 || offset > size_ || size > size_ - offset)
        return false;
    // Bytes cut off the file since it was opened would fault when read.
    if (file_->currentSize() < offset + size)
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
    const uint8_t* base = file_->mapView(start, size_t(end - start));
    if (!base)
        return nullptr;
    ++windowsMapped_;
    try {
        return std::make_shared<const Window>(base, cell, start, end);
    } catch (...) {
        FfmpegFileMapping::unmapView(base, size_t(end - start));
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

} // namespace QelRuntime
