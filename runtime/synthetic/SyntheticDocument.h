// Reading a synthetic movie document (JSON; the format is described in
// runtime/README.md) into the movie model plus what the synthetic source
// needs to make the samples.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "source/MovieModel.h"

namespace QelRuntime {

// How a video track's samples are made.
struct SyntheticVideo {
    QtOSType compression = 0;
    int32_t depth = 24;
    int32_t width = 0;
    int32_t height = 0;
    int32_t rowBytes = 0;    // of a raw sample's (luma) rows, padding included
    int32_t sampleSize = 0;  // of every sample
    int32_t descriptionDataSize = 0;  // the data size its description states
};

struct SyntheticTrack {
    // Video tracks: the format of the samples of each image description, in
    // the order of TrackModel::descriptions.
    std::vector<SyntheticVideo> videos;
    int64_t audioPhase = 0;  // sound tracks
};

struct SyntheticMovie {
    MovieModel model;
    std::vector<SyntheticTrack> tracks;  // parallel to model.tracks
};

constexpr int32_t kTokenSize = 12;

// Whether the text is a JSON object marked as a synthetic movie.
bool isSyntheticDocument(const std::string& text);

// Reads and validates the whole document; false with `error` set when it is
// not a well-formed synthetic movie.
bool parseSyntheticMovie(const std::string& text, SyntheticMovie& movie, std::string& error);

} // namespace QelRuntime
