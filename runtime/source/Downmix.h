// The runtime's stereo downmix of 3 to 8 channels, and how a frame of any
// channel count is delivered as one or two: the sound operations mix with
// it and the tests compute what they must receive with it.
#pragma once

#include <cstdint>

namespace QelRuntime::Downmix {

// Weights (in 1/16384) of each source channel in the left and right output
// of the stereo downmix, by source channel count (3 to 8).
struct DownmixWeight {
    int32_t left;
    int32_t right;
};

constexpr int32_t kFull = 16384;
constexpr int32_t kMinus3dB = 11585;
constexpr int32_t kMinus6dB = 8192;

inline const DownmixWeight* downmixWeights(int32_t channels)
{
    static const DownmixWeight L{kFull, 0}, R{0, kFull}, C{kMinus3dB, kMinus3dB}, Lfe{0, 0},
        Ls{kMinus3dB, 0}, Rs{0, kMinus3dB}, Cs{kMinus6dB, kMinus6dB};
    static const DownmixWeight three[] = {L, R, C};
    static const DownmixWeight four[] = {L, R, Ls, Rs};
    static const DownmixWeight five[] = {L, R, C, Ls, Rs};
    static const DownmixWeight six[] = {L, R, C, Lfe, Ls, Rs};
    static const DownmixWeight seven[] = {L, R, C, Lfe, Cs, Ls, Rs};
    static const DownmixWeight eight[] = {L, R, C, Lfe, Ls, Rs, Ls, Rs};
    static const DownmixWeight* const tables[] = {three, four, five, six, seven, eight};
    return channels >= 3 && channels <= 8 ? tables[channels - 3] : nullptr;
}

// Integer division rounded half away from zero (denominator > 0).
inline int64_t divideRounded(int64_t numerator, int64_t denominator)
{
    int64_t half = denominator / 2;
    return numerator >= 0 ? (numerator + half) / denominator : -((-numerator + half) / denominator);
}

// One output (0 left, 1 right) of the stereo downmix of a frame of 3 to 8
// channels: a weighted mean, which never leaves the range of its inputs.
inline int16_t downmixStereo(const int16_t* frame, int32_t channels, int32_t output)
{
    const DownmixWeight* weights = downmixWeights(channels);
    int64_t sum = 0;
    int64_t weightSum = 0;
    for (int32_t c = 0; c < channels; ++c) {
        int32_t weight = output == 0 ? weights[c].left : weights[c].right;
        sum += int64_t(weight) * frame[c];
        weightSum += weight;
    }
    return int16_t(divideRounded(sum, weightSum));
}

// Output channel `output` of a frame of `sourceChannels` values delivered as
// `outputChannels` (1 or 2), with or without the stereo downmix selected.
inline int16_t outputValue(const int16_t* frame, int32_t sourceChannels, int32_t outputChannels,
                           bool stereoDownmix, int32_t output)
{
    auto stereo = [&](int32_t side) -> int16_t {
        if (sourceChannels == 1)
            return frame[0];
        if (sourceChannels > 2 && stereoDownmix)
            return downmixStereo(frame, sourceChannels, side);
        return frame[side];
    };
    if (outputChannels == sourceChannels)
        return frame[output];
    if (outputChannels == 2)
        return stereo(output);
    return int16_t(divideRounded(int64_t(stereo(0)) + stereo(1), 2));
}

} // namespace QelRuntime::Downmix
