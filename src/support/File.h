// A thin owner of one open file of the platform, used to learn the size of a
// movie file. Opened in one of eight fixed modes; reports by status code only
// (never throws, never logs). A failed open leaves the object closed and
// reusable. Belongs to one caller at a time.
#pragma once

#include <cstdint>
#include <string>

namespace Qel {

class File {
public:
    // Status codes of open and close; kNoSize is what size() answers in
    // place of a size.
    static constexpr int kOk = 0;
    static constexpr int kAlreadyOpen = 1;
    static constexpr int kOpenFailed = 2;
    static constexpr int kBadMode = 3;
    static constexpr uint64_t kNoSize = 4;

    // Open modes: access, what happens to an existing or missing file, and
    // where the file pointer starts.
    static constexpr int kReadExisting = 0;       // read; must exist
    static constexpr int kWriteTruncate = 1;      // write; created or emptied
    static constexpr int kWriteNew = 2;           // write; must not exist
    static constexpr int kReadWriteTruncate = 3;  // read and write; created or emptied
    static constexpr int kReadWriteAlways = 4;    // read and write; created if missing
    static constexpr int kReadWriteNew = 5;       // read and write; must not exist
    static constexpr int kWriteAppend = 6;        // write; created if missing; pointer at the end
    static constexpr int kReadWriteAppend = 7;    // read and write; created if missing; pointer at the end

    File();
    virtual ~File();
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // kAlreadyOpen when a file is open (which stays open), kBadMode for a mode
    // outside 0 to 7, kOpenFailed when the platform refuses, else kOk.
    int open(std::u16string path, int mode);
    // The size of the open file in bytes, leaving the file pointer where it
    // was; kNoSize when no file is open or the pointer cannot be read.
    uint64_t size();
    // Closes the file when one is open; always kOk.
    int close();

    // The file pointer, or UINT64_MAX when no file is open or it cannot be read.
    uint64_t position();
    // Moves the file pointer to an absolute offset; false when not open or refused.
    bool setPosition(uint64_t offset);

private:
    bool isOpen() const;
    // Moves the pointer by offset from origin (0 start, 1 current, 2 end)
    // and gives the new position; false on failure.
    bool seek(int64_t offset, int origin, uint64_t& newPosition);

    // Windows: the file's HANDLE, null when none (the invalid-handle value is
    // never stored). POSIX: the descriptor, -1 when none.
    intptr_t handle;
};

} // namespace Qel
