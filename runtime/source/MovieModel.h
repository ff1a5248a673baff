// The movie model that every runtime operation works on, whatever source
// the movie came from: time scale, duration, user data, tracks with their
// sample tables, image descriptions and sound formats, and the faults to
// inject. A movie source builds it once when the movie loads; the runtime
// only reads it (per-movie state such as enabled flags is kept apart).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "QuickTimeInterface.h"

namespace QelRuntime {

struct SampleEntry {
    QtTimeValue time = 0;
    QtTimeValue duration = 0;
    bool sync = true;
    int32_t descriptionIndex = 0;  // into TrackModel::descriptions
};

struct AudioFormat {
    double sampleRate = 0;
    int32_t channels = 0;
    int64_t frames = 0;
};

struct TrackModel {
    std::optional<QtOSType> mediaType;  // none: QtMediaType writes no code
    bool enabled = true;
    // The media's own time scale, in which an export source exchanges
    // times; 0: the movie's. Sample times stay in movie units.
    int32_t mediaTimeScale = 0;
    std::vector<QtImageDescription> descriptions;  // video tracks only
    std::optional<AudioFormat> audio;              // sound tracks only
    std::vector<SampleEntry> samples;              // in time order
};

struct UserDataModel {
    std::optional<std::string> name;  // the '©nam' bytes, as stored
    std::optional<QtOSType> ctyp;
};

// An injected fault: from call `fromCall` of `operation` (1-based, counted
// per movie) for `calls` calls (0: every later call), on one track or all.
struct Fault {
    std::string operation;
    int32_t fromCall = 1;
    int32_t calls = 0;
    int32_t track = 0;  // 0: any track
    std::optional<int32_t> status;
    std::optional<QtOSType> descriptionType;
    bool nullDescription = false;
    bool nullSurface = false;
    bool noCode = false;
    std::optional<QtTimeValue> noneAfter;
    bool complete = false;
};

struct MovieModel {
    int32_t timeScale = 600;
    QtTimeValue duration = 0;
    std::optional<UserDataModel> userData;
    std::vector<TrackModel> tracks;  // track index i is tracks[i - 1]
    std::vector<Fault> faults;
};

} // namespace QelRuntime
