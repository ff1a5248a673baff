// The audio extraction of an FfmpegMovie: its enabled sound tracks decoded,
// mixed and delivered as 16-bit signed interleaved PCM at one rate and one
// or two channels. One thread at a time; must not outlive the movie.
//
// Tracks are summed in float and pass a peak limiter before the conversion
// to 16 bits: the limiter's gain drops at once to keep every frame within
// kLimiterCeiling of full scale and recovers with a time constant of
// kLimiterRelease seconds. Sound that stays below the ceiling passes
// unchanged, so a downmix keeps its centre channel 3 dB below the front
// channels instead of the 10 dB that a normalised matrix would cost, and a
// loud mix is not clipped.
#pragma once

#include "sound/FfmpegAudioTrackDecoder.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace QelRuntime {

class FfmpegAudioExtraction {
public:
    static constexpr float kLimiterCeiling = 0.98f;
    static constexpr double kLimiterRelease = 0.1;

    // Null with a status when a track cannot be decoded or the format is not
    // one of 1 or 2 channels at a positive rate.
    static std::unique_ptr<FfmpegAudioExtraction> open(const FfmpegMovie& movie,
                                                       const std::vector<size_t>& soundTracks, int rate,
                                                       int channels, QtStatus& status);

    // Sample-accurate: the next fill starts at frame (of the extraction's
    // rate) from time 0.
    void seek(int64_t frame);

    // Up to frames frames into out. complete becomes true once nothing more
    // will come, which may be together with the last frames delivered.
    size_t fill(int16_t* out, size_t frames, bool& complete);

private:
    FfmpegAudioExtraction(std::vector<std::unique_ptr<FfmpegAudioTrackDecoder>> tracks, int rate, int channels);

    size_t mix(size_t frames);
    void limitInto(int16_t* out, size_t frames);
    void limitFrames(const float* in, size_t frames, int16_t* out);

    std::vector<std::unique_ptr<FfmpegAudioTrackDecoder>> tracks_;
    int channels_;
    float keep_;            // share of the gain's deficit kept from frame to frame
    float deficit_ = 0.0f;  // the limiter's gain is 1 - deficit_
    std::vector<float> mixed_;
    std::vector<float> scratch_;
};

} // namespace QelRuntime
