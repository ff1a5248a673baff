#include "FfmpegTrack.h"

#include <algorithm>

namespace QelRuntime {

size_t FfmpegTrack::syncSampleBefore(size_t index) const
{
    for (size_t i = std::min(index, sync.size() - 1) + 1; i-- > 0;) {
        if (sync[i])
            return i;
    }
    return 0;
}

} // namespace QelRuntime
