// Where decode writes, from its -o option: a folder (NAME.wav and NAME.y4m
// in it, NAME being the movie's file name without extension), one named
// file (a .wav file takes the audio alone, a .y4m file the video alone), or
// "-" for standard output.
#pragma once

#include <string>

namespace Qel::Cli {

struct OutputTargets {
    std::string folder;           // to create first; empty when none
    std::string audio;            // the WAV path; empty when the audio is not written
    std::string video;            // the Y4M path; empty when the video is not written
    bool standardOutput = false;
};

OutputTargets outputTargets(const std::string& option, const std::string& moviePath);

// A Y4M path without its ".y4m": where ARGB video goes as PNG frames.
std::string withoutY4mExtension(const std::string& path);

} // namespace Qel::Cli
