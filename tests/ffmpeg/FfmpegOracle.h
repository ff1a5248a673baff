// What ffprobe and ffmpeg say a test file holds: the oracle for the FFmpeg
// movie source's tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Qel::Testing {

struct ProbedFrame {
    int64_t pts;  // in the stream's time base
    int64_t duration;
    bool key;
};

// The frames of the first video stream, in presentation order.
std::vector<ProbedFrame> probedVideoFrames(const std::string& path);

// ffmpeg's own decode of the first video stream to a raw pixel format
// ("yuyv422", "argb", ...), every frame one after the other.
std::vector<uint8_t> decodedPictures(const std::string& path, const std::string& pixelFormat);

// ffmpeg's own decode of the first sound stream to 16-bit interleaved PCM
// at the given channel count.
std::vector<int16_t> decodedSound(const std::string& path, int channels);

// Peak signal-to-noise ratio of two equally long 8-bit buffers, in dB
// (1000 when identical).
double psnr(const uint8_t* a, const uint8_t* b, size_t size);

// The amplitude (full scale 1.0) of a tone in one channel of interleaved PCM.
double toneAmplitude(const std::vector<int16_t>& interleaved, int channels, int channel, double rate,
                     double frequency);

} // namespace Qel::Testing
