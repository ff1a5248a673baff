// Runs the qelhost program beside the test program as a child process and
// collects what it printed and its exit code; and reads what it wrote.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Qel::Testing {

struct QelhostRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// "qelhost" or "qelhost.exe" (RunProgram_posix.cpp, RunProgram_win32.cpp).
extern const char* const kQelhostFileName;

// The program's path: qelhost beside the test program, or in `folder`.
std::string qelhostPath(const std::string& folder = std::string());

// Runs `program` with the arguments, standard output and error each into a
// file of scratch (RunProgram_posix.cpp, RunProgram_win32.cpp).
QelhostRun runProgram(const std::string& program, const std::vector<std::string>& arguments,
                      const std::string& scratchFolder);

std::vector<uint8_t> readBytes(const std::string& path);

// A WAV file's format and sample data; valid is false when the file is not
// a 16-bit PCM RIFF WAVE file whose sizes agree with its length.
struct WavFile {
    bool valid = false;
    uint32_t sampleRate = 0;
    uint16_t channels = 0;
    std::vector<int16_t> samples;
};
WavFile readWav(const std::string& path);

// A YUV4MPEG2 file: its header fields and its frames, each the planar bytes
// after "FRAME\n". valid is false when a frame is short or the header odd.
struct Y4mFile {
    bool valid = false;
    int width = 0;
    int height = 0;
    std::string rate;     // "10:1"
    std::string chroma;   // "422", "420jpeg"
    std::vector<std::vector<uint8_t>> frames;
};
Y4mFile readY4m(const std::string& path);

} // namespace Qel::Testing
