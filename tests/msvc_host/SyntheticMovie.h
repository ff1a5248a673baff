// The synthetic movie of the road and what its pictures and samples hold
// (the stand-in runtime's documented pattern).
#pragma once

#include "Freestanding.h"

namespace Host {

constexpr uint32_t kWidth = 64;
constexpr uint32_t kHeight = 48;
constexpr uint32_t kSamples = 60;        // of 20 units at 600 units per second
constexpr uint32_t kSampleUnits = 20;
constexpr uint32_t kSyncEvery = 10;
constexpr uint32_t kSampleRate = 8000;
constexpr uint32_t kFrames = 16000;      // 2 s, as long as the video
constexpr uint32_t kDurationMs = 2000;
constexpr const char* kMovieName = "Road under the other ABI";

// The tracks: the video's compression (one the runtime delivers as it is,
// "yuvs", or one it decodes) and picture size, and the sound's length.
struct SyntheticTracks {
    const char* compression;
    uint32_t width;
    uint32_t height;
    uint32_t audioFrames;
};
constexpr SyntheticTracks kRoadTracks = {"yuvs", kWidth, kHeight, kFrames};

// The document; name may be long (the out-of-memory road uses that).
void appendSyntheticMovie(Bytes& document, const char* name, size_t nameLength,
                          const SyntheticTracks& tracks = kRoadTracks);

inline uint32_t sampleStartMs(uint32_t sample) { return sample * kSampleUnits * 1000 / 600; }
// The sample a YUY2 picture shows, from the luma of its first pixel.
inline uint32_t sampleOfPicture(const unsigned char* yuy2)
{
    // Y(0,0) = 29·s mod 256, and 29 · 53 = 1537 = 1 mod 256.
    return (uint32_t(yuy2[0]) * 53u) & 0xFF;
}
inline int32_t pcmValue(uint32_t frame, uint32_t channel)
{
    return int32_t((frame * 3 + channel * 1021) % 16384) - 8192;
}

} // namespace Host
