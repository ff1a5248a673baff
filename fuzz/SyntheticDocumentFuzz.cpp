// Feeds arbitrary text to the stand-in runtime's synthetic movie parser.
// Whatever it accepts must make a consistent movie: one synthetic track per
// model track, samples in time order without overlaps, and a first sample
// of every video track of exactly its description's size.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "synthetic/SyntheticDocument.h"
#include "synthetic/SyntheticSource.h"

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

void checkSampleTable(const QelRuntime::TrackModel& track)
{
    for (size_t at = 0; at < track.samples.size(); ++at) {
        const QelRuntime::SampleEntry& sample = track.samples[at];
        require(sample.time >= 0 && sample.duration >= 0);
        require(sample.descriptionIndex >= 0);
        require(track.descriptions.empty() || size_t(sample.descriptionIndex) < track.descriptions.size());
        if (at > 0)
            require(track.samples[at - 1].time + track.samples[at - 1].duration <= sample.time);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    QelRuntime::SyntheticMovie movie;
    std::string error;
    if (!QelRuntime::parseSyntheticMovie(text, movie, error)) {
        require(!error.empty());
        return 0;
    }
    require(QelRuntime::isSyntheticDocument(text));
    require(movie.tracks.size() == movie.model.tracks.size());
    for (const QelRuntime::TrackModel& track : movie.model.tracks)
        checkSampleTable(track);

    QelRuntime::SyntheticSource source(std::move(movie));
    const QelRuntime::MovieModel& model = source.model();
    for (size_t index = 0; index < model.tracks.size(); ++index) {
        const QelRuntime::TrackModel& track = model.tracks[index];
        const int32_t trackIndex = int32_t(index + 1);
        if (!track.descriptions.empty() && !track.samples.empty()) {
            QelRuntime::SampleBytes bytes;
            if (source.videoSample(trackIndex, 0, bytes) == 0)
                require(bytes.size == size_t(track.descriptions[size_t(track.samples[0].descriptionIndex)].dataSize));
        }
        if (track.audio) {
            std::vector<int16_t> frames(size_t(16) * size_t(track.audio->channels));
            source.audioFrames(trackIndex, 0, 16, frames.data());
        }
    }
    return 0;
}
