#include "FfmpegAudioExtraction.h"

#include "FfmpegStatus.h"

#include <algorithm>
#include <cmath>

namespace Qel {

std::unique_ptr<FfmpegAudioExtraction> FfmpegAudioExtraction::open(const FfmpegMovie& movie,
                                                                   const std::vector<size_t>& soundTracks,
                                                                   int rate, int channels, QtStatus& status)
{
    std::vector<std::unique_ptr<FfmpegAudioTrackDecoder>> tracks;
    for (size_t index : soundTracks) {
        auto track = FfmpegAudioTrackDecoder::open(movie, index, rate, channels, status);
        if (!track)
            return nullptr;
        tracks.push_back(std::move(track));
    }
    status = 0;
    return std::unique_ptr<FfmpegAudioExtraction>(new FfmpegAudioExtraction(std::move(tracks), rate, channels));
}

FfmpegAudioExtraction::FfmpegAudioExtraction(std::vector<std::unique_ptr<FfmpegAudioTrackDecoder>> tracks, int rate,
                                             int channels)
    : tracks_(std::move(tracks)), channels_(channels),
      release_(float(1.0 - std::exp(-1.0 / (kLimiterRelease * rate))))
{
}

void FfmpegAudioExtraction::seek(int64_t frame)
{
    for (auto& track : tracks_)
        track->seek(frame);
    gain_ = 1.0f;
}

size_t FfmpegAudioExtraction::fill(int16_t* out, size_t frames, bool& complete)
{
    const size_t produced = mix(frames);
    limitInto(out, produced);
    complete = produced < frames;
    return produced;
}

// The tracks summed; as many frames as the longest track still has.
size_t FfmpegAudioExtraction::mix(size_t frames)
{
    const size_t samples = frames * size_t(channels_);
    mixed_.assign(samples, 0.0f);
    scratch_.resize(samples);
    size_t produced = 0;
    for (auto& track : tracks_) {
        const size_t count = track->read(scratch_.data(), frames);
        for (size_t i = 0; i < count * size_t(channels_); ++i)
            mixed_[i] += scratch_[i];
        produced = std::max(produced, count);
    }
    return produced;
}

// The hot loop of sound extraction: the state lives in locals so that the
// stores into out need not reload it.
void FfmpegAudioExtraction::limitInto(int16_t* out, size_t frames)
{
    const size_t channels = size_t(channels_);
    const float release = release_;
    float gain = gain_;
    const float* in = mixed_.data();
    for (size_t frame = 0; frame < frames; ++frame, in += channels, out += channels) {
        float peak = 0.0f;
        for (size_t c = 0; c < channels; ++c)
            peak = std::max(peak, std::fabs(in[c]));
        if (peak * gain > kLimiterCeiling)
            gain = kLimiterCeiling / peak;
        for (size_t c = 0; c < channels; ++c)
            out[c] = int16_t(std::lrint(in[c] * gain * 32767.0f));
        gain += (1.0f - gain) * release;
    }
    gain_ = gain;
}

} // namespace Qel
