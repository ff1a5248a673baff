// Whether a file is a movie that the FFmpeg movie source can open, judged
// from its first bytes alone (no demuxer is opened). Any thread.
#pragma once

#include <string>

namespace Qel {

bool ffmpegRecognisesMovie(const std::string& path);

// True for the demuxers the source refuses even when they recognise a file:
// still-image readers, terminal text, and playlists or descriptions that
// would make FFmpeg open other files or network addresses.
bool isRefusedDemuxer(const char* name);

} // namespace Qel
