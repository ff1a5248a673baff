// Opening a file for reading from a UTF-8 path: the one place where the
// runtime differs by platform (MovieFileOpen_win32.cpp, _posix.cpp).
#pragma once

#include <cstdio>
#include <string>

namespace QelRuntime {

// A file opened for binary reading, or null. The caller closes it.
std::FILE* openForReading(const std::string& utf8Path);

} // namespace QelRuntime
