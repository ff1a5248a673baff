#include "io/FfmpegLargeTables.h"

namespace QelRuntime {

void adviseHugePages(uintptr_t, uintptr_t) {}

} // namespace QelRuntime
