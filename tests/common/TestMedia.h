// Real media files for tests, made at test time with the ffmpeg command from
// its built-in sources (testsrc2, sine) and cached in the folder
// "test-media" of the working directory, so that each is made once per
// build. The ffmpeg and ffprobe commands also serve as the oracle for what
// the files contain. POSIX only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Qel::Testing {

// The path of the file made by "ffmpeg <arguments> <path>", making it when
// the cache does not hold it yet. name gives the file its extension (and so
// its container); the cache key also covers the arguments. Empty when the
// command fails.
std::string testMedia(const std::string& name, const std::string& arguments);

// The standard output of a shell command; empty when it fails.
std::vector<uint8_t> commandOutput(const std::string& command);
std::string commandText(const std::string& command);

} // namespace Qel::Testing
