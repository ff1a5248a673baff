#include "support/File.h"

#include <cstdint>

namespace Qel {

uint64_t File::size()
{
    uint64_t saved = 0;
    if (!isOpen() || !seek(0, 1, saved) || saved == UINT64_MAX)
        return kNoSize;
    uint64_t end = 0;
    const bool reachedEnd = seek(0, 2, end);
    uint64_t restored = 0;
    seek(static_cast<int64_t>(saved), 0, restored);
    return reachedEnd ? end : kNoSize;
}

uint64_t File::position()
{
    uint64_t current = 0;
    return isOpen() && seek(0, 1, current) ? current : UINT64_MAX;
}

bool File::setPosition(uint64_t offset)
{
    uint64_t reached = 0;
    return isOpen() && offset <= static_cast<uint64_t>(INT64_MAX)
           && seek(static_cast<int64_t>(offset), 0, reached);
}

} // namespace Qel
