// The composition offsets of a QuickTime or MP4 track (its `ctts` box), read
// from the file's header, so that a track's presentation times are known
// without reading its media data: each sample is shown at its decoding time
// plus its offset. Internal to the FFmpeg movie source.
//
// Only where the header leaves no doubt about how FFmpeg's demuxer times
// the samples: a file that is not fragmented (no `mvex`, no `moof`), with
// one movie header and one track of the ID, at most one `ctts`, no negative
// offset (FFmpeg would shift the decoding times) and an edit list of at most
// one edit. Every other file, and any box whose size does not fit inside
// its parent, gives nothing: the caller then reads the packets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace Qel {

// count consecutive samples shown offset units after they are decoded.
struct CompositionRun {
    uint32_t count;
    uint32_t offset;
};

// The runs of the track whose `tkhd` holds trackId (FFmpeg's AVStream::id),
// in a movie header's payload (the bytes inside `moov`). Nullopt where the
// header cannot vouch for them (see above) or the track has no `ctts`.
std::optional<std::vector<CompositionRun>> compositionRunsInMovieHeader(const uint8_t* moov, size_t size,
                                                                       uint32_t trackId);

// The same from the file at the UTF-8 path, whose top-level boxes are walked
// to its single movie header. Nullopt also when the file cannot be mapped
// or a top-level box reaches past its end (a file cut short).
std::optional<std::vector<CompositionRun>> compositionRunsInFile(const std::string& path, uint32_t trackId);

} // namespace Qel
