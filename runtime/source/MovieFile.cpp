#include "source/MovieFile.h"

#include <cstdio>
#include <memory>

#include "source/MovieFileOpen.h"

namespace QelRuntime {

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

bool readUpTo(std::FILE* file, size_t limit, std::string& bytes)
{
    bytes.clear();
    char chunk[65536];
    while (bytes.size() <= limit) {
        size_t got = std::fread(chunk, 1, sizeof chunk, file);
        bytes.append(chunk, got);
        if (got < sizeof chunk)
            return std::ferror(file) == 0;
    }
    return true;
}

} // namespace

bool fileExists(const std::string& utf8Path)
{
    return FileHandle(openForReading(utf8Path)) != nullptr;
}

bool readFileStart(const std::string& utf8Path, size_t limit, std::string& bytes)
{
    FileHandle file(openForReading(utf8Path));
    if (!file || !readUpTo(file.get(), limit, bytes))
        return false;
    if (bytes.size() > limit)
        bytes.resize(limit);
    return true;
}

bool readWholeFile(const std::string& utf8Path, size_t limit, std::string& bytes)
{
    FileHandle file(openForReading(utf8Path));
    return file && readUpTo(file.get(), limit, bytes) && bytes.size() <= limit;
}

} // namespace QelRuntime
