// The objects behind the runtime's handles, and the runtime's state: the
// registry, the open file references, the movie-export component and the
// lock that every operation holds while it runs.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "operations/AudioMixer.h"
#include "source/FaultPlan.h"
#include "source/MovieSource.h"
#include "operations/Registry.h"
#include "operations/RuntimeModes.h"

namespace QelRuntime {

struct DescriptionHandle {
    QtHandle handle = nullptr;  // a QtImageDescription owned by the movie
    int32_t seed = 0;
};

struct MovieObject : RuntimeObject {
    static constexpr ObjectKind kKind = ObjectKind::Movie;
    std::unique_ptr<MovieSource> source;
    FaultPlan faults;
    std::vector<bool> enabled;           // per track, from index 1 at [0]
    std::vector<uintptr_t> tracks;       // handles, in index order
    std::vector<uintptr_t> media;        // handles, in index order
    std::vector<std::vector<DescriptionHandle>> descriptions;  // per track
    uintptr_t userData = 0;              // 0 when the movie has none
    uintptr_t timeBase = 0;
    RuntimeModes modes;  // as the environment chose them when the movie loaded

    const MovieModel& model() const { return source->model(); }
    const TrackModel& track(int32_t index) const { return model().tracks[size_t(index - 1)]; }
};

// Tracks, media, user data and time bases name their movie (and track).
struct TrackObject : RuntimeObject {
    static constexpr ObjectKind kKind = ObjectKind::Track;
    uintptr_t movie = 0;
    int32_t index = 0;
};

struct MediaObject : RuntimeObject {
    static constexpr ObjectKind kKind = ObjectKind::Media;
    uintptr_t movie = 0;
    int32_t index = 0;
};

struct UserDataObject : RuntimeObject {
    static constexpr ObjectKind kKind = ObjectKind::UserData;
    uintptr_t movie = 0;
};

struct TimeBaseObject : RuntimeObject {
    static constexpr ObjectKind kKind = ObjectKind::TimeBase;
};

// An audio extraction: the mix of the movie's enabled sound tracks from an
// extraction point, in frames.
struct ExtractionObject : RuntimeObject {
    static constexpr ObjectKind kKind = ObjectKind::Extraction;
    uintptr_t movie = 0;
    std::optional<AudioMixer> mixer;
    std::optional<QtPcmDescription> output;  // set by the caller
    uint32_t layoutTag = 0;
    int64_t position = 0;  // in frames
};

struct ComponentInstanceObject : RuntimeObject {
    static constexpr ObjectKind kKind = ObjectKind::ComponentInstance;
};

struct ExportSourceObject : RuntimeObject {
    static constexpr ObjectKind kKind = ObjectKind::ExportSource;
    uintptr_t movie = 0;
    int32_t track = 0;
    QtTimeValue start = 0;
    QtTimeValue duration = 0;
    int32_t timeScale = 0;    // of the data function's times, handed back at creation
    SampleBytes sampleBytes;  // the last sample handed out
};

struct SurfaceObject : RuntimeObject {
    static constexpr ObjectKind kKind = ObjectKind::Surface;
    SurfaceView view;
    uintptr_t pixelMap = 0;
};

struct PixelMapObject : RuntimeObject {
    static constexpr ObjectKind kKind = ObjectKind::PixelMap;
};

struct SequenceObject : RuntimeObject {
    static constexpr ObjectKind kKind = ObjectKind::Sequence;
    uintptr_t movie = 0;
    int32_t track = 0;
    uintptr_t surface = 0;
};

struct RuntimeState {
    std::recursive_mutex lock;
    Registry registry;
    std::map<int16_t, std::string> fileRefs;  // open movie files by reference number
    int16_t lastFileRef = 0;
    uintptr_t currentMovie = 0;  // the most recently loaded movie
    // Whether the most recently loaded movie asked for strict lifetimes
    // (RuntimeModes.h); what outlives its origin, or is left when the
    // library unloads, is then reported (StrictLifetimes.h).
    bool strictLifetimes = false;
    // The movie and track of every image description handle handed out.
    std::map<QtHandle, std::pair<uintptr_t, int32_t>> descriptionOwners;

    ~RuntimeState();

    MovieObject* movie(uintptr_t handle) { return registry.find<MovieObject>(reinterpret_cast<void*>(handle)); }
    // The fault plan of the most recently loaded live movie, or null.
    FaultPlan* currentFaults();
};

// The one state of the loaded runtime library; destroyed when it unloads.
RuntimeState& runtimeState();

template <class Handle>
uintptr_t handleValue(Handle handle)
{
    return reinterpret_cast<uintptr_t>(handle);
}

template <class Handle>
Handle handleOf(uintptr_t value)
{
    return reinterpret_cast<Handle>(value);
}

} // namespace QelRuntime
