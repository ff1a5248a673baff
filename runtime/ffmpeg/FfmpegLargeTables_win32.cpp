#include "FfmpegLargeTables.h"

namespace Qel {

void adviseHugePages(uintptr_t, uintptr_t) {}

} // namespace Qel
