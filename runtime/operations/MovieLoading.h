// Turning a movie source into a loaded movie: the movie object with its
// tracks, media, user data, time base and image description handles.
#pragma once

#include <memory>

#include "operations/RuntimeObjects.h"

namespace QelRuntime {

// Registers the movie and everything made from it; answers its handle and
// makes it the current movie.
uintptr_t loadMovie(RuntimeState& state, std::unique_ptr<MovieSource> source);

} // namespace QelRuntime
