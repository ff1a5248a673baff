// The composition offsets of a QuickTime or MP4 track (its `ctts` box), read
// from the file's header, so that a track's presentation times are known
// without reading its media data: each sample is shown at its decoding time
// plus its offset. Internal to the FFmpeg movie source.
//
// Only where the header leaves no doubt about how FFmpeg's demuxer times
// the samples: a file that is not fragmented (no `mvex`, no `moof`; the
// offsets of fragments are read from the fragments themselves), with
// one movie header and one track of the ID, at most one `ctts` whose
// offsets FFmpeg takes as they stand (no run of no samples, none beyond
// 2^28 either way) and an edit list of one edit of the media, which empty
// edits (a track that starts late) may precede. Every other file, and any
// box whose size does not fit inside its parent, gives nothing: the caller
// then reads the packets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace QelRuntime {

// count consecutive samples shown offset units after they are decoded
// (before, where negative).
struct CompositionRun {
    uint32_t count;
    int32_t offset;
};

// A track's runs, the samples they cover, and how far FFmpeg moves its
// decoding times back so that negative offsets show no sample before it is
// decoded: FFmpeg shows each sample at its index entry's time plus
// decodingShift plus its offset.
struct CompositionOffsets {
    std::vector<CompositionRun> runs;
    uint64_t samples = 0;
    int64_t decodingShift = 0;
};

// The offsets of the track whose `tkhd` holds trackId (FFmpeg's
// AVStream::id), in a movie header's payload (the bytes inside `moov`).
// Nullopt where the header cannot vouch for them (see above) or the track
// has no `ctts`.
std::optional<CompositionOffsets> compositionOffsetsInMovieHeader(const uint8_t* moov, size_t size, uint32_t trackId);

// The same from the file at the UTF-8 path, whose top-level boxes are walked
// to its single movie header. Nullopt also when the file cannot be mapped
// or a top-level box reaches past its end (a file cut short).
std::optional<CompositionOffsets> compositionOffsetsInFile(const std::string& path, uint32_t trackId);

// Adds the offsets of the track's samples in a movie fragment (the payload
// of a `moof`) as FFmpeg reads them: every `trun` of the track's `traf`s in
// order, 0 for the samples of a run that carries none, and every negative
// offset counted in the shift (none left out, unlike in a `ctts`). False
// where a box does not fit, a `traf` lacks a single `tfhd` ahead of its runs
// or names a sample description (FFmpeg may then skip its runs), a run's
// samples do not fit it, or the track would hold more than mostSamples.
bool addFragmentOffsets(const uint8_t* moof, size_t size, uint32_t trackId, uint64_t mostSamples,
                        CompositionOffsets& offsets);

// The offsets of the track in every fragment of the file at the UTF-8 path,
// in the order of the file. Nullopt where a fragment gives none (see
// above), the file cannot be mapped or a top-level box reaches past its end.
std::optional<CompositionOffsets> fragmentOffsetsInFile(const std::string& path, uint32_t trackId,
                                                        uint64_t mostSamples);

// Whether the file at the UTF-8 path holds movie fragments (a top-level
// `moof`), and whether a segment index (`sidx`) comes before the first:
// FFmpeg then indexes the fragments only as it reads them. False for both
// where the file cannot be mapped or its boxes do not fit it.
struct MovieFragments {
    bool present = false;
    bool indexedAhead = false;
};
MovieFragments movieFragmentsIn(const std::string& path);

} // namespace QelRuntime
