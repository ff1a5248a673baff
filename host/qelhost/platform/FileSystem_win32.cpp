#include <windows.h>

#include <algorithm>
#include <filesystem>

#include "platform/FileSystem.h"
#include "SystemErrorText.h"
#include "support/TextConversion.h"

namespace Qel::Cli::Files {

namespace {

std::wstring wide(const std::string& path)
{
    const std::u16string units = toWide(path);
    return std::wstring(units.begin(), units.end());
}

HANDLE native(Handle handle)
{
    return reinterpret_cast<HANDLE>(handle);
}

} // namespace

Status pathStatus(const std::string& path)
{
    Status status;
    // Opening with no access and backup semantics reaches folders too and
    // follows links, as stat does.
    HANDLE file = CreateFileW(wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        status.error = int(GetLastError());
        return status;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file, &info)) {
        status.error = int(GetLastError());
        CloseHandle(file);
        return status;
    }
    CloseHandle(file);
    status.directory = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    status.regular = !status.directory && (info.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) == 0;
    status.size = (uint64_t(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    status.identity = {info.dwVolumeSerialNumber, (uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
    return status;
}

bool missing(const Status& status)
{
    return status.error == ERROR_FILE_NOT_FOUND || status.error == ERROR_PATH_NOT_FOUND ||
           status.error == ERROR_INVALID_NAME;
}

int readError(const std::string& path)
{
    HANDLE file = CreateFileW(wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return int(GetLastError());
    CloseHandle(file);
    return 0;
}

int createNew(const std::string& path, Handle& handle)
{
    HANDLE file = CreateFileW(wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return int(GetLastError());
    handle = reinterpret_cast<Handle>(file);
    return 0;
}

bool alreadyExists(int error)
{
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
}

int writeAll(Handle handle, const void* bytes, size_t count)
{
    const char* next = static_cast<const char*>(bytes);
    while (count > 0) {
        const DWORD part = DWORD(std::min<size_t>(count, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(native(handle), next, part, &written, nullptr))
            return int(GetLastError());
        next += written;
        count -= written;
    }
    return 0;
}

int seekToStart(Handle handle)
{
    LARGE_INTEGER start{};
    if (GetFileType(native(handle)) != FILE_TYPE_DISK || !SetFilePointerEx(native(handle), start, nullptr, FILE_BEGIN))
        return int(ERROR_SEEK);
    return 0;
}

int closeFile(Handle handle)
{
    return CloseHandle(native(handle)) ? 0 : int(GetLastError());
}

int moveFile(const std::string& from, const std::string& to, bool replace)
{
    const DWORD flags = replace ? MOVEFILE_REPLACE_EXISTING : 0;
    return MoveFileExW(wide(from).c_str(), wide(to).c_str(), flags) ? 0 : int(GetLastError());
}

void removeFile(const std::string& path)
{
    DeleteFileW(wide(path).c_str());
}

int createFolders(const std::string& path)
{
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::u8path(path), error);
    return error.value();
}

Handle standardOutput()
{
    return reinterpret_cast<Handle>(GetStdHandle(STD_OUTPUT_HANDLE));
}

bool isTerminal(Handle handle)
{
    DWORD mode = 0;
    return GetConsoleMode(native(handle), &mode) != 0;
}

uint32_t processNumber()
{
    return uint32_t(GetCurrentProcessId());
}

std::string errorText(int error)
{
    return Host::systemErrorText(error);
}

} // namespace Qel::Cli::Files
