// The sound of a movie's extraction: the sound tracks that were enabled
// when it began, mixed at the first one's rate and the largest channel
// count, then delivered as 16-bit interleaved PCM at one or two channels.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "source/MovieSource.h"

namespace QelRuntime {

class AudioMixer {
public:
    // `tracks`: 1-based indices of sound tracks of `source`, at least one.
    AudioMixer(MovieSource& source, std::vector<int32_t> tracks);

    double sampleRate() const { return rate; }
    int32_t channels() const { return sourceChannels; }
    int64_t frames() const { return rendered ? rendered->frames() : length; }
    QtStatus refusal() const { return rendered ? rendered->refusal() : 0; }

    // Writes `count` output frames from frame `first` into `output`
    // (interleaved, `outputChannels` per frame); see Downmix.h's
    // outputValue for how source channels become output channels. Sets the
    // frames written: fewer than `count` only at the end of a source's own
    // rendering, which may also fail with a status.
    QtStatus render(int64_t first, int32_t count, int32_t outputChannels, bool stereoDownmix, int16_t* output,
                    int32_t& written);

private:
    // Adds one track's frames [first, first + count) into `mix`.
    void addTrack(int32_t track, int64_t first, int32_t count, std::vector<int32_t>& mix);

    MovieSource& source;
    std::vector<int32_t> tracks;
    double rate = 0;
    int32_t sourceChannels = 0;
    int64_t length = 0;
    std::vector<int16_t> scratch;
    std::unique_ptr<SoundRenderer> rendered;  // the source's own, when it has one
};

} // namespace QelRuntime
