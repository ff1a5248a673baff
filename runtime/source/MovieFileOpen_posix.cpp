#include "source/MovieFileOpen.h"

#include <sys/stat.h>

namespace QelRuntime {

std::FILE* openForReading(const std::string& utf8Path)
{
    struct stat status {};
    if (stat(utf8Path.c_str(), &status) != 0 || !S_ISREG(status.st_mode))
        return nullptr;
    return std::fopen(utf8Path.c_str(), "rb");
}

} // namespace QelRuntime
