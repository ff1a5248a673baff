// A movie source: what the runtime needs from a movie file, whatever its
// format. The runtime owns one source per loaded movie and calls it only
// while holding the runtime's lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "source/MovieModel.h"
#include "QuickTimeInterface.h"

namespace QelRuntime {

// Caller memory in one of the surface pixel formats ('yuvs', '2vuy', 32,
// 'YVU9'), `rowBytes` per (luma) row.
struct SurfaceView {
    QtOSType format = 0;
    uint8_t* base = nullptr;
    int32_t rowBytes = 0;
    int32_t width = 0;
    int32_t height = 0;
};

// The bytes of one sample, valid while `owner` lives: the source's own
// buffer shared rather than copied, since an uncompressed picture is
// megabytes.
struct SampleBytes {
    const uint8_t* data = nullptr;
    size_t size = 0;
    std::shared_ptr<const void> owner;
};

// The mixed sound of some sound tracks, for a source that decodes, converts
// and mixes sound itself instead of handing the runtime its tracks' frames.
class SoundRenderer {
public:
    virtual ~SoundRenderer() = default;
    virtual double sampleRate() const = 0;
    virtual int32_t channels() const = 0;
    // The length in frames once rendering has met the end; until then an
    // upper bound.
    virtual int64_t frames() const = 0;
    // Nonzero when the sound cannot be rendered at all (a track without a
    // decoder): the extraction is refused with it, rather than begun on a
    // sound that would end at once as if empty.
    virtual QtStatus refusal() const { return 0; }
    // Writes up to `count` frames from frame `first` and sets `written`;
    // fewer only at the end. A nonzero status when the sound cannot be
    // rendered (a track without a decoder), with nothing written.
    virtual QtStatus render(int64_t first, int32_t count, int32_t outputChannels, bool stereoDownmix,
                            int16_t* output, int32_t& written) = 0;
};

class MovieSource {
public:
    virtual ~MovieSource() = default;

    virtual const MovieModel& model() const = 0;

    // The bytes of sample `sample` (0-based) of video track `trackIndex`
    // (1-based), as the track stores them.
    virtual QtStatus videoSample(int32_t trackIndex, int32_t sample, SampleBytes& bytes) = 0;

    // Draws the picture held by sample bytes of the track at its own size
    // into `target`, clipped to it and converted to its format.
    virtual QtStatus decodePicture(int32_t trackIndex, const uint8_t* data, int32_t size,
                                   const SurfaceView& target) = 0;

    // `count` frames of sound track `trackIndex` from frame `first`, at the
    // track's own rate and channel count, interleaved; frames past the end
    // are silent.
    virtual void audioFrames(int32_t trackIndex, int64_t first, int32_t count, int16_t* interleaved) = 0;

    // The source's own rendering of sound tracks `tracks` (1-based), or null
    // for the runtime to mix their audioFrames.
    virtual std::unique_ptr<SoundRenderer> soundRenderer(const std::vector<int32_t>& tracks) { return nullptr; }
};

// Opens movie files of one kind.
class MovieSourceFactory {
public:
    virtual ~MovieSourceFactory() = default;
    // Whether the file looks like one this factory opens (cheap).
    virtual bool accepts(const std::string& path) const = 0;
    // The source, or null with `error` set.
    virtual std::unique_ptr<MovieSource> open(const std::string& path, std::string& error) const = 0;
    // Faults to inject into the file operations made before the movie
    // exists (opening, probing, loading).
    virtual std::vector<Fault> fileFaults(const std::string& path) const { return {}; }
};

// The factories of this runtime build, in the order they are asked.
const std::vector<const MovieSourceFactory*>& movieSourceFactories();

} // namespace QelRuntime
