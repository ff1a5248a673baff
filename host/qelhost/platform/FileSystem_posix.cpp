#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "platform/FileSystem.h"
#include "SystemErrorText.h"

namespace Qel::Cli::Files {

Status pathStatus(const std::string& path)
{
    Status status;
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        status.error = errno;
        return status;
    }
    status.regular = S_ISREG(info.st_mode);
    status.directory = S_ISDIR(info.st_mode);
    status.size = uint64_t(info.st_size);
    status.identity = {uint64_t(info.st_dev), uint64_t(info.st_ino)};
    return status;
}

bool missing(const Status& status)
{
    return status.error == ENOENT || status.error == ENOTDIR;
}

int readError(const std::string& path)
{
    const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0)
        return errno;
    close(descriptor);
    return 0;
}

int createNew(const std::string& path, Handle& handle)
{
    // 0666 less the umask: the permissions any new file of the user gets.
    const int descriptor = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (descriptor < 0)
        return errno;
    handle = descriptor;
    return 0;
}

bool alreadyExists(int error)
{
    return error == EEXIST;
}

int writeAll(Handle handle, const void* bytes, size_t count)
{
    const char* next = static_cast<const char*>(bytes);
    while (count > 0) {
        const ssize_t written = write(int(handle), next, count);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        next += written;
        count -= size_t(written);
    }
    return 0;
}

int seekToStart(Handle handle)
{
    return lseek(int(handle), 0, SEEK_SET) == 0 ? 0 : errno;
}

int closeFile(Handle handle)
{
    return close(int(handle)) == 0 ? 0 : errno;
}

int moveFile(const std::string& from, const std::string& to, bool replace)
{
    if (replace)
        return rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
    // A hard link never replaces what is there; where the file system has
    // none, the name is checked just before the rename instead.
    if (link(from.c_str(), to.c_str()) == 0) {
        unlink(from.c_str());
        return 0;
    }
    const int error = errno;
    if (error != EPERM && error != EOPNOTSUPP && error != EMLINK)
        return error;
    struct stat info {};
    if (lstat(to.c_str(), &info) == 0)
        return EEXIST;
    return rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

void removeFile(const std::string& path)
{
    unlink(path.c_str());
}

int createFolders(const std::string& path)
{
    std::error_code error;
    std::filesystem::create_directories(path, error);
    return error.value();
}

Handle standardOutput()
{
    return STDOUT_FILENO;
}

bool isTerminal(Handle handle)
{
    return isatty(int(handle)) == 1;
}

uint32_t processNumber()
{
    return uint32_t(getpid());
}

std::string errorText(int error)
{
    return Host::systemErrorText(error);
}

} // namespace Qel::Cli::Files
