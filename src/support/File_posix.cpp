// Files on POSIX systems through open(2) and lseek. Each mode keeps the
// access, creation and pointer rules of its Windows row; the Windows sharing
// rules have no POSIX counterpart (other openers are never locked out).
#include "support/File.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/TextConversion.h"

namespace Qel {

namespace {

struct ModeRow {
    int flags;
    bool toEnd;
};

constexpr ModeRow kModes[8] = {
    {O_RDONLY, false},
    {O_WRONLY | O_CREAT | O_TRUNC, false},
    {O_WRONLY | O_CREAT | O_EXCL, false},
    {O_RDWR | O_CREAT | O_TRUNC, false},
    {O_RDWR | O_CREAT, false},
    {O_RDWR | O_CREAT | O_EXCL, false},
    {O_WRONLY | O_CREAT, true},
    {O_RDWR | O_CREAT, true},
};

constexpr intptr_t kNoDescriptor = -1;

} // namespace

File::File()
    : handle(kNoDescriptor)
{
}

File::~File()
{
    close();
}

bool File::isOpen() const
{
    return handle != kNoDescriptor;
}

int File::open(std::u16string path, int mode)
{
    if (isOpen())
        return kAlreadyOpen;
    if (static_cast<unsigned int>(mode) > 7)
        return kBadMode;
    const std::string name = toUtf8(path);
    if (name.empty())
        return kOpenFailed;
    const ModeRow& row = kModes[mode];
    const int descriptor = ::open(name.c_str(), row.flags | O_CLOEXEC, 0666);
    if (descriptor < 0)
        return kOpenFailed;
    // Windows refuses to open a folder as a file; so does this class.
    struct stat status {};
    if (fstat(descriptor, &status) != 0 || S_ISDIR(status.st_mode)) {
        ::close(descriptor);
        return kOpenFailed;
    }
    handle = descriptor;
    if (row.toEnd)
        lseek(descriptor, 0, SEEK_END);
    return kOk;
}

int File::close()
{
    if (isOpen()) {
        ::close(static_cast<int>(handle));
        handle = kNoDescriptor;
    }
    return kOk;
}

bool File::seek(int64_t offset, int origin, uint64_t& newPosition)
{
    static constexpr int kWhence[3] = {SEEK_SET, SEEK_CUR, SEEK_END};
    const off_t reached = lseek(static_cast<int>(handle), static_cast<off_t>(offset), kWhence[origin]);
    if (reached < 0)
        return false;
    newPosition = static_cast<uint64_t>(reached);
    return true;
}

} // namespace Qel
