#include "io/FfmpegLargeTables.h"

#include <sys/mman.h>

namespace QelRuntime {

void adviseHugePages(uintptr_t first, uintptr_t last)
{
    madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
}

} // namespace QelRuntime
