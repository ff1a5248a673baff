#include "source/MovieSource.h"
#include "synthetic/SyntheticSource.h"
#if QEL_WITH_FFMPEG
#include "ffmpeg/FfmpegMovieSource.h"
#endif

namespace QelRuntime {

const std::vector<const MovieSourceFactory*>& movieSourceFactories()
{
    static const SyntheticSourceFactory synthetic;
#if QEL_WITH_FFMPEG
    static const std::vector<const MovieSourceFactory*> factories{&synthetic, &ffmpegMovieSourceFactory()};
#else
    static const std::vector<const MovieSourceFactory*> factories{&synthetic};
#endif
    return factories;
}

} // namespace QelRuntime
