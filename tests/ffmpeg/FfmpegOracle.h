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

struct ProbedTimeBase {
    int num = 0;
    int den = 1;
};
ProbedTimeBase probedVideoTimeBase(const std::string& path);

// Where the first video and the first sound stream start, in seconds: the
// video at ffprobe's start time, the sound at the time ffmpeg's decode gives
// its first sample (past the codec's priming, which the container's times
// include and the decoder trims). The movie's time 0 is the earlier of the
// two.
struct StreamStarts {
    bool hasVideo = false;
    double video = 0;
    double sound = 0;
    double movie() const { return hasVideo && video < sound ? video : sound; }
    // How long the sound plays before the first picture (0 when it does not).
    double soundLead() const { return sound < video ? video - sound : 0; }
};
StreamStarts streamStarts(const std::string& path);

struct CopiedPacket {
    size_t size;
    uint32_t checksum;  // the Adler-32 sum that ffmpeg's framecrc output prints
};

// The packets of the first video stream as "ffmpeg -c copy" passes them on,
// in the order ffprobe's decode presents their pictures (each picture
// matched by the size of its packet, as the decoder reports it, to the
// first packet of that size not yet matched). MPEG program streams give
// some pictures no time of their own, so the times cannot order them.
std::vector<CopiedPacket> presentedVideoPackets(const std::string& path);

// A packet's bytes summed as ffmpeg's framecrc output sums them.
uint32_t checksumOf(const uint8_t* data, size_t size);

// ffmpeg's own decode of the first video stream to a raw pixel format
// ("yuyv422", "argb", ...), every frame one after the other.
std::vector<uint8_t> decodedPictures(const std::string& path, const std::string& pixelFormat);

// ffmpeg's own decode of a sound stream (the first by default) to 16-bit
// interleaved PCM at the given channel count. Fewer channels than the stream's are mixed
// as the runtime mixes them, by swresample's matrix as it stands (5.1: the
// centre and surrounds at -3 dB, no LFE). ffmpeg's own 16-bit output
// divides that matrix by the sum of a side's weights (2.414 for 5.1), so
// that a full-scale mix cannot clip, which leaves the mix 7.7 dB quieter;
// the runtime limits the mix's peaks instead.
std::vector<int16_t> decodedSound(const std::string& path, int channels, int soundStream = 0);

// The largest difference between two equally long runs of PCM samples.
int maximumDifference(const int16_t* a, const int16_t* b, size_t count);

// Peak signal-to-noise ratio of two equally long 8-bit buffers, in dB
// (1000 when identical).
double psnr(const uint8_t* a, const uint8_t* b, size_t size);

// The amplitude (full scale 1.0) of a tone in one channel of interleaved PCM.
double toneAmplitude(const std::vector<int16_t>& interleaved, int channels, int channel, double rate,
                     double frequency);

} // namespace Qel::Testing
