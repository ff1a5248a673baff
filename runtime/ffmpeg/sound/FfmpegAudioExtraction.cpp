#include "sound/FfmpegAudioExtraction.h"

#include "FfmpegStatus.h"

#include <algorithm>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace QelRuntime {

std::unique_ptr<FfmpegAudioExtraction> FfmpegAudioExtraction::open(const FfmpegMovie& movie,
                                                                   const std::vector<size_t>& soundTracks,
                                                                   int rate, int channels, QtStatus& status)
{
    if (soundTracks.empty()) {
        status = kFfmpegBadData;
        return nullptr;
    }
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
      keep_(float(std::exp(-1.0 / (kLimiterRelease * rate))))
{
}

void FfmpegAudioExtraction::seek(int64_t frame)
{
    for (auto& track : tracks_)
        track->seek(frame);
    deficit_ = 0.0f;
}

// In pieces, so that the float mix of one piece stays in the processor's
// nearest caches between mixing and limiting.
size_t FfmpegAudioExtraction::fill(int16_t* out, size_t frames, bool& complete)
{
    constexpr size_t kPieceFrames = 2048;
    size_t produced = 0;
    while (produced < frames) {
        const size_t wanted = std::min(kPieceFrames, frames - produced);
        const size_t mixed = mix(wanted);
        limitInto(out + produced * size_t(channels_), mixed);
        produced += mixed;
        if (mixed < wanted)
            break;
    }
    complete = produced < frames;
    return produced;
}

// The tracks summed; as many frames as the longest track still has. The
// first track is read straight into the mix, so a single track costs no
// summing.
size_t FfmpegAudioExtraction::mix(size_t frames)
{
    const size_t channels = size_t(channels_);
    mixed_.resize(frames * channels);
    size_t produced = tracks_.front()->read(mixed_.data(), frames);
    std::fill(mixed_.begin() + std::ptrdiff_t(produced * channels), mixed_.end(), 0.0f);
    scratch_.resize(frames * channels);
    for (size_t track = 1; track < tracks_.size(); ++track) {
        const size_t count = tracks_[track]->read(scratch_.data(), frames);
        for (size_t i = 0; i < count * channels; ++i)
            mixed_[i] += scratch_[i];
        produced = std::max(produced, count);
    }
    return produced;
}

namespace {

// Frames limited together: a block at unity gain with no sample over the
// ceiling is converted in one pass, eight samples at a time where SSE2 is
// there (it rounds to nearest even, as lrint does).
constexpr size_t kLimiterBlockFrames = 256;
// A gain this close to unity changes no 16-bit sample by half a step.
constexpr float kUnityDeficit = 1.0f / 65536.0f;
// FFmpeg converts 16-bit samples to float and back by 2^15 both ways, so
// 16-bit sound comes out as it went in; the ceiling keeps every sample of
// the conversion below 2^15.
constexpr float kFullScale = 32768.0f;

// Converts a block at unity gain and answers whether every sample was
// within the ceiling; when one was not, the block is to be limited instead.
bool convertAtUnity(const float* in, size_t samples, int16_t* out)
{
    float peak = 0.0f;
    size_t i = 0;
#if defined(__SSE2__)
    const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff));
    const __m128 scale = _mm_set1_ps(kFullScale);
    __m128 peaks = _mm_setzero_ps();
    for (; i + 8 <= samples; i += 8) {
        const __m128 first = _mm_loadu_ps(in + i);
        const __m128 second = _mm_loadu_ps(in + i + 4);
        peaks = _mm_max_ps(peaks, _mm_max_ps(_mm_and_ps(first, magnitude), _mm_and_ps(second, magnitude)));
        const __m128i low = _mm_cvtps_epi32(_mm_mul_ps(first, scale));
        const __m128i high = _mm_cvtps_epi32(_mm_mul_ps(second, scale));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packs_epi32(low, high));
    }
    alignas(16) float lanes[4];
    _mm_store_ps(lanes, peaks);
    peak = std::max(std::max(lanes[0], lanes[1]), std::max(lanes[2], lanes[3]));
#endif
    for (; i < samples; ++i) {
        peak = std::max(peak, std::fabs(in[i]));
        out[i] = int16_t(std::lrint(in[i] * kFullScale));
    }
    return peak <= FfmpegAudioExtraction::kLimiterCeiling;
}

} // namespace

void FfmpegAudioExtraction::limitInto(int16_t* out, size_t frames)
{
    const size_t channels = size_t(channels_);
    const float* in = mixed_.data();
    while (frames > 0) {
        const size_t block = std::min(frames, kLimiterBlockFrames);
        const size_t samples = block * channels;
        if (deficit_ != 0.0f || !convertAtUnity(in, samples, out))
            limitFrames(in, block, out);
        in += samples;
        out += samples;
        frames -= block;
    }
}

// Frame by frame: the gain is 1 - deficit, and the deficit decays towards 0.
// The state lives in locals so that the stores into out need not reload it.
void FfmpegAudioExtraction::limitFrames(const float* in, size_t frames, int16_t* out)
{
    const size_t channels = size_t(channels_);
    const float keep = keep_;
    float deficit = deficit_;
    for (size_t frame = 0; frame < frames; ++frame, in += channels, out += channels) {
        float peak = 0.0f;
        for (size_t c = 0; c < channels; ++c)
            peak = std::max(peak, std::fabs(in[c]));
        float gain = 1.0f - deficit;
        if (peak * gain > kLimiterCeiling) {
            gain = kLimiterCeiling / peak;
            deficit = 1.0f - gain;
        }
        for (size_t c = 0; c < channels; ++c)
            out[c] = int16_t(std::lrint(in[c] * gain * kFullScale));
        deficit *= keep;
    }
    deficit_ = deficit < kUnityDeficit ? 0.0f : deficit;
}

} // namespace QelRuntime
