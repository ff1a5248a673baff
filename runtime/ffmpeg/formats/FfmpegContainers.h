// What the FFmpeg movie source does differently for the container of a
// file, decided once when the movie opens from the demuxer that opened it
// and kept on the movie. Each trait's reason is given with its container's
// row (FfmpegContainers.cpp), beside the demuxers the source refuses:
// nothing else asks a demuxer's name.
// Internal to the FFmpeg movie source.
#pragma once

struct AVFormatContext;

namespace QelRuntime {

// Where a reader goes back to for the start of a track.
enum class FfmpegRewind {
    ToByteZero,          // the start of the file
    ToFirstIndexEntry,   // a timestamp seek to the index's first entry, where it has one
    ToFirstSampleTime,   // a timestamp seek to the first sample's decoding time
};

struct FfmpegContainerTraits {
    FfmpegRewind rewind = FfmpegRewind::ToByteZero;  // byte 0 too when its seek fails
    // The header indexes every packet of every stream.
    bool indexesEveryPacket = false;
    // The index is loaded from the end of the file along with the header,
    // and a file cut short has none.
    bool indexAtFileEnd = false;
    // The header alone describes every stream and indexes every packet,
    // so that probing the streams adds nothing a reader needs beyond the
    // probed parameters, and the index holds decoding times only.
    bool headerDescribesStreams = false;
    // Each track is marked enabled or not (FFmpeg's default disposition);
    // elsewhere every track plays.
    bool marksTracksEnabled = false;
    // Reordered pictures carry no presentation times: their order is found
    // in their bytes. pictureOrderInBytesForH264Only: only H.264's are.
    bool pictureOrderInBytes = false;
    bool pictureOrderInBytesForH264Only = false;
    // The index counts sound in bytes or in chunks, and the header's
    // declared length of a sound stream is not where its sound ends.
    bool indexCountsSoundInBytesOrChunks = false;
    // Packets read after a seek are timed by their index entry instead of
    // the demuxer's count.
    bool timesPicturesByIndexEntry = false;
    // MPEG program and transport streams and elementary MPEG video, whose
    // pictures are MPEG video media.
    bool isMpegSystemStream = false;
};

FfmpegContainerTraits containerTraitsOf(const AVFormatContext* format);

// True for the demuxers the source refuses even when they recognise a file:
// still-image readers, terminal text, and playlists or descriptions that
// would make FFmpeg open other files or network addresses.
bool isRefusedDemuxer(const char* name);

} // namespace QelRuntime
