#include "io/FfmpegFileMapping.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace QelRuntime {

int64_t FfmpegFileMapping::granularity()
{
    static const int64_t pageBytes = sysconf(_SC_PAGESIZE);
    return pageBytes;
}

std::unique_ptr<FfmpegFileMapping> FfmpegFileMapping::open(const std::string& utf8Path)
{
    const int descriptor = ::open(utf8Path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0)
        return nullptr;
    struct stat status {};
    if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(descriptor);
        return nullptr;
    }
    return std::unique_ptr<FfmpegFileMapping>(new FfmpegFileMapping(descriptor, 0, int64_t(status.st_size)));
}

FfmpegFileMapping::~FfmpegFileMapping()
{
    ::close(int(file_));
}

int64_t FfmpegFileMapping::currentSize() const
{
    struct stat status {};
    return fstat(int(file_), &status) == 0 ? int64_t(status.st_size) : -1;
}

const uint8_t* FfmpegFileMapping::mapView(int64_t offset, size_t length) const
{
    void* base = mmap(nullptr, length, PROT_READ, MAP_PRIVATE, int(file_), off_t(offset));
    return base == MAP_FAILED ? nullptr : static_cast<const uint8_t*>(base);
}

void FfmpegFileMapping::unmapView(const uint8_t* base, size_t length)
{
    munmap(const_cast<uint8_t*>(base), length);
}

size_t FfmpegFileMapping::read(int64_t offset, uint8_t* into, size_t length) const
{
    size_t done = 0;
    while (done < length) {
        const ssize_t got = pread(int(file_), into + done, length - done, off_t(offset + int64_t(done)));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += size_t(got);
    }
    return done;
}

} // namespace QelRuntime
