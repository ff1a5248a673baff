// The few file operations qelhost's outputs and checks need, on paths given
// as UTF-8 text: the POSIX calls (FileSystem_posix.cpp) or the wide Win32
// ones (FileSystem_win32.cpp), so that any path a user can type works.
// Failures come back as the platform's own error number (errno, or
// GetLastError on Windows), which errorText turns into its sentence.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace Qel::Cli::Files {

// What makes a file itself, whatever name reaches it: device and inode, or
// volume serial number and file index.
struct Identity {
    uint64_t device = 0;
    uint64_t index = 0;
    bool operator==(const Identity& other) const { return device == other.device && index == other.index; }
};

struct Status {
    int error = 0;          // why the path could not be examined; 0 when it could
    bool regular = false;   // a regular file (links followed)
    bool directory = false;
    uint64_t size = 0;
    Identity identity;
};

// An open file: a descriptor or a HANDLE.
using Handle = intptr_t;

Status pathStatus(const std::string& path);
bool missing(const Status& status);  // the path names nothing (ENOENT, ERROR_FILE_NOT_FOUND, ...)
// Opens the file for reading and closes it again: 0 when it can be read.
int readError(const std::string& path);

// Creates the file, failing when it exists already. 0 or the error.
int createNew(const std::string& path, Handle& handle);
bool alreadyExists(int error);
int writeAll(Handle handle, const void* bytes, size_t count);
int seekToStart(Handle handle);
int closeFile(Handle handle);
// Moves the file from one name to the other in the same folder; with
// replace false it fails (alreadyExists) rather than replace a file.
int moveFile(const std::string& from, const std::string& to, bool replace);
void removeFile(const std::string& path);
int createFolders(const std::string& path);

// Standard output, switched to binary where that matters.
Handle standardOutput();
bool isTerminal(Handle handle);

// A number unique to this process, for temporary names.
uint32_t processNumber();

std::string errorText(int error);

} // namespace Qel::Cli::Files
