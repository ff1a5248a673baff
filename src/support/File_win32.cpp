// Files on Windows through CreateFileW and SetFilePointer, each mode with its
// fixed access, sharing and creation row.
#include "support/File.h"

#include <windows.h>

namespace Qel {

namespace {

struct ModeRow {
    DWORD access;
    DWORD sharing;
    DWORD creation;
    bool toEnd;
};

constexpr DWORD kRead = GENERIC_READ;
constexpr DWORD kWrite = GENERIC_WRITE;
constexpr DWORD kReadWrite = GENERIC_READ | GENERIC_WRITE;

const ModeRow kModes[8] = {
    {kRead, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, false},
    {kWrite, FILE_SHARE_READ, CREATE_ALWAYS, false},
    {kWrite, FILE_SHARE_READ, CREATE_NEW, false},
    {kReadWrite, FILE_SHARE_READ, CREATE_ALWAYS, false},
    {kReadWrite, FILE_SHARE_READ, OPEN_ALWAYS, false},
    {kReadWrite, FILE_SHARE_READ, CREATE_NEW, false},
    {kWrite, FILE_SHARE_READ, OPEN_ALWAYS, true},
    {kReadWrite, FILE_SHARE_READ, OPEN_ALWAYS, true},
};

HANDLE asHandle(intptr_t handle)
{
    return reinterpret_cast<HANDLE>(handle);
}

} // namespace

File::File()
    : handle(0)
{
}

File::~File()
{
    close();
}

bool File::isOpen() const
{
    return handle != 0;
}

int File::open(std::u16string path, int mode)
{
    if (isOpen())
        return kAlreadyOpen;
    if (static_cast<unsigned int>(mode) > 7)
        return kBadMode;
    const ModeRow& row = kModes[mode];
    const HANDLE opened = CreateFileW(reinterpret_cast<const wchar_t*>(path.c_str()), row.access,
                                      row.sharing, nullptr, row.creation, FILE_ATTRIBUTE_NORMAL,
                                      nullptr);
    if (opened == INVALID_HANDLE_VALUE)
        return kOpenFailed;
    handle = reinterpret_cast<intptr_t>(opened);
    if (row.toEnd)
        SetFilePointer(opened, 0, nullptr, FILE_END);
    return kOk;
}

int File::close()
{
    if (isOpen()) {
        CloseHandle(asHandle(handle));
        handle = 0;
    }
    return kOk;
}

// A result of all ones in the low half is ambiguous: it is a failure only
// when the last error says so.
bool File::seek(int64_t offset, int origin, uint64_t& newPosition)
{
    static constexpr DWORD kMethod[3] = {FILE_BEGIN, FILE_CURRENT, FILE_END};
    LONG high = static_cast<LONG>(offset >> 32);
    const DWORD low = SetFilePointer(asHandle(handle), static_cast<LONG>(offset & 0xFFFFFFFF),
                                     &high, kMethod[origin]);
    if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR)
        return false;
    newPosition = (static_cast<uint64_t>(static_cast<DWORD>(high)) << 32) | low;
    return true;
}

} // namespace Qel
