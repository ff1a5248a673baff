// Gathering a movie's packets for its sample tables, without decoding: the
// choice among the ways of ordering them. Internal to the FFmpeg movie
// source.
//
// Each stream is ordered by the first row that holds (the reasons are
// beside the branches, in FfmpegSampleTable.cpp and the files named):
//
// | Movie and stream                                | Ordered by                              | In                      |
// |-------------------------------------------------|-----------------------------------------|-------------------------|
// | no complete index at open (not QuickTime, MP4   | reading every packet of the file once   | timing/FfmpegPacketScan |
// | or AVI; an AVI cut short; a stream without      |                                         |                         |
// | entries; pictures whose order is in their bytes)|                                         |                         |
// | QuickTime or MP4, reordered pictures            | composition offsets, the stream's       | formats/mp4/            |
// |                                                 | packets, or the shifted index           | FfmpegMp4Timing         |
// | AVI sound                                       | the index, counted in bytes or chunks   | formats/avi/            |
// | any other stream                                | the index, decoding times shifted by    | timing/FfmpegIndexOrder |
// |                                                 | the reordering delay                    |                         |
//
// The last packet lasts until the stream's end, where that lies beyond its
// start (AVI's sound ends with its last chunk instead).
#pragma once

#include "formats/FfmpegContainers.h"
#include "FfmpegLibraries.h"
#include "timing/FfmpegPresentationOrder.h"

#include <string>
#include <vector>

namespace QelRuntime {

// Every stream's packets in presentation order (none for a stream without
// packets). path: the file's (UTF-8; empty: no header is read for
// composition offsets). headerIndexed: whether the header gave FFmpeg its
// index before any packet was read.
std::vector<OrderedPackets> orderedStreamPackets(AVFormatContext* format, const FfmpegContainerTraits& container,
                                                 const std::string& path, bool headerIndexed = true);

// Reordered H.264 pictures whose container gives them no presentation times
// (AVI, MXF without temporal offsets) are ordered by their picture order
// counts, which also place the pictures of open groups
// (FfmpegH264PictureOrder.h); their sync samples are IDR pictures and intra
// pictures at recovery points.
bool ordersByPictureCounts(const FfmpegContainerTraits& container, const AVStream* stream);

// Whether such a stream's pictures are reordered by its decoder without
// the scan finding their times (MPEG-1/2 and MPEG-4 Part 2, ordered by
// their coding types, and codecs other than H.264, whose presentation times
// are shifted decoding times): their decoded pictures are timed by the
// order they come out in.
bool timedByOutputOrder(const FfmpegContainerTraits& container, const AVStream* stream);

} // namespace QelRuntime
