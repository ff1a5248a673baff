// Files named by the plug-in's UTF-8 paths.
#pragma once

#include <cstddef>
#include <string>

namespace QelRuntime {

bool fileExists(const std::string& utf8Path);

// The first bytes of the file, at most `limit`; false when it cannot be read.
bool readFileStart(const std::string& utf8Path, size_t limit, std::string& bytes);

// The whole file when it holds at most `limit` bytes; false otherwise.
bool readWholeFile(const std::string& utf8Path, size_t limit, std::string& bytes);

} // namespace QelRuntime
