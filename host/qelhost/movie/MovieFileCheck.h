// The movie path checked before the plug-in sees it, so that the user hears
// what is wrong with the file itself (missing, a folder, unreadable, empty)
// with the system's reason, rather than the plug-in's general refusal.
#pragma once

#include <string>

namespace Qel::Cli {

// Throws CommandError: kExitNoSuchFile when the path names no readable
// regular file, kExitRefused when the file is empty.
void checkMovieFile(const std::string& path);

} // namespace Qel::Cli
