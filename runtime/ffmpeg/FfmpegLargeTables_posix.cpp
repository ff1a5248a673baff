#include "FfmpegLargeTables.h"

#include <sys/mman.h>

namespace Qel {

void adviseHugePages(uintptr_t first, uintptr_t last)
{
    madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
}

} // namespace Qel
