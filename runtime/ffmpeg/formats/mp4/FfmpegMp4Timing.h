// Timing the reordered pictures of a QuickTime or MP4 file, whose index
// holds decoding times only: by the composition offsets of its header or
// fragments where they pair with the index, else by reading the pictures'
// packets or by the index's shifted decoding times. Internal to the FFmpeg
// movie source.
#pragma once

#include "FfmpegLibraries.h"
#include "formats/mp4/FfmpegCompositionOffsets.h"
#include "timing/FfmpegPacketRecord.h"
#include "timing/FfmpegPresentationOrder.h"

#include <cstdint>
#include <optional>
#include <string>

namespace QelRuntime {

// The pictures of the stream in presentation order (see the .cpp for how
// each way is chosen). path: the file's, UTF-8 (empty: no header is read);
// fileEnd: its size, or -1 when unknown; fragmented: it holds movie
// fragments (fragmentsIndexed).
OrderedPackets orderedMp4Pictures(AVFormatContext* format, AVStream* stream, const std::string& path,
                                  int64_t fileEnd, bool fragmented);

// The same pictures timed by the composition offsets alone; nullopt where
// they may not pair with the index. Indexes every fragment first.
std::optional<OrderedPackets> orderedFromHeaderOffsets(AVFormatContext* format, AVStream* stream,
                                                       const std::string& path, int64_t fileEnd);

// The file's fragments, every one of them in FFmpeg's index: FFmpeg indexes
// the fragments that a segment index announces only as it reads them, and
// a read of every packet, each stream skipped, indexes them all without
// reading any sample's bytes.
MovieFragments fragmentsIndexed(AVFormatContext* format, const std::string& path);

// Whether offsets paired with an index (one offset an entry) only shift its
// decoding times by the stream's reordering delay, so that the shifted index
// gives the same times and sync marks.
bool offsetsShiftDecodingTimes(const FfmpegIndex& index, const FfmpegStreamFacts& stream,
                               const CompositionOffsets& offsets);

} // namespace QelRuntime
