#include "operations/AudioMixer.h"

#include <algorithm>
#include <cmath>

#include "source/Downmix.h"

namespace QelRuntime {

AudioMixer::AudioMixer(MovieSource& source, std::vector<int32_t> tracks) : source(source), tracks(std::move(tracks))
{
    rendered = source.soundRenderer(this->tracks);
    if (rendered) {
        rate = rendered->sampleRate();
        sourceChannels = rendered->channels();
        return;
    }
    rate = source.model().tracks[size_t(this->tracks.front() - 1)].audio->sampleRate;
    for (int32_t track : this->tracks) {
        const AudioFormat& format = *source.model().tracks[size_t(track - 1)].audio;
        sourceChannels = std::max(sourceChannels, format.channels);
        length = std::max(length, int64_t(std::ceil(double(format.frames) * rate / format.sampleRate)));
    }
}

void AudioMixer::addTrack(int32_t track, int64_t first, int32_t count, std::vector<int32_t>& mix)
{
    const AudioFormat& format = *source.model().tracks[size_t(track - 1)].audio;
    size_t trackChannels = size_t(format.channels);
    scratch.resize(size_t(count) * trackChannels);
    if (format.sampleRate == rate) {
        source.audioFrames(track, first, count, scratch.data());
    } else {
        // Another rate: the nearest earlier frame of the track.
        for (int32_t i = 0; i < count; ++i) {
            auto frame = int64_t(std::floor(double(first + i) * format.sampleRate / rate));
            source.audioFrames(track, frame, 1, scratch.data() + size_t(i) * trackChannels);
        }
    }
    for (size_t i = 0; i < size_t(count); ++i)
        for (size_t c = 0; c < trackChannels; ++c)
            mix[i * size_t(sourceChannels) + c] += scratch[i * trackChannels + c];
}

QtStatus AudioMixer::render(int64_t first, int32_t count, int32_t outputChannels, bool stereoDownmix,
                            int16_t* output, int32_t& written)
{
    if (rendered)
        return rendered->render(first, count, outputChannels, stereoDownmix, output, written);
    std::vector<int32_t> mix(size_t(count) * size_t(sourceChannels), 0);
    for (int32_t track : tracks)
        addTrack(track, first, count, mix);
    int16_t frame[8];
    for (size_t i = 0; i < size_t(count); ++i) {
        for (size_t c = 0; c < size_t(sourceChannels); ++c)
            frame[c] = int16_t(std::clamp(mix[i * size_t(sourceChannels) + c], -32768, 32767));
        for (int32_t out = 0; out < outputChannels; ++out)
            output[i * size_t(outputChannels) + size_t(out)] = Downmix::outputValue(
                frame, sourceChannels, outputChannels, stereoDownmix, out);
    }
    written = count;
    return 0;
}

} // namespace QelRuntime
