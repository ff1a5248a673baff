// The value types of a movie opened by the FFmpeg movie source: its tracks,
// where each sample sits in its stream and in the file, and where its sound
// starts. The lowest layer of the source after FFmpeg's own objects: every
// other part may include this header, and it includes none of theirs.
#pragma once

#include "FfmpegLibraries.h"
#include "QuickTimeInterface.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace QelRuntime {

// Where a sample sits in its stream, in the stream's own time base.
struct FfmpegSamplePosition {
    int64_t pts;
    int64_t dts;  // decoding time; exact for sync samples, which readers seek to
    uint64_t identity;  // of the packet's bytes where the track was scanned, else 0
};

// Where a sample's bytes lie in the file.
struct FfmpegByteRange {
    int64_t offset;
    int64_t size;
};

// Where ffmpeg's decode puts a sound track's first sample, past the codec's
// priming (FfmpegSoundStart.h), and the lengths of its first decoded frames,
// from which the later ones are placed back to back.
struct FfmpegSoundStart {
    int64_t pts = AV_NOPTS_VALUE;  // of the first decoded frame, in the stream's time base
    int firstFrameSamples = 0;
    int frameSamples = 0;  // of the frame after it (the codec's usual length); 0 when none came
};

struct FfmpegRational {
    int num;
    int den;
};

inline AVRational toAv(FfmpegRational value) { return {value.num, value.den}; }

struct FfmpegTrack {
    QtOSType mediaType = 0;
    int streamIndex = -1;
    bool enabled = true;  // as the file marks the track
    FfmpegRational timeBase{0, 1};
    int64_t duration = 0;  // movie units

    // Video: the image description of every sample (one description per track).
    QtOSType compressionType = 0;
    int16_t width = 0;
    int16_t height = 0;
    int16_t depth = 0;
    int32_t descriptionDataSize = 0;  // bytes of one uncompressed picture, 0 when compressed

    // Sound.
    QtOSType soundFormat = 0;
    int sampleRate = 0;
    int channels = 0;
    // Where the file's packets were read at open; otherwise none, and the
    // sound starts as FfmpegMovieBuilder.cpp (startOf) places it.
    std::optional<FfmpegSoundStart> decodedStart;
    // Sound whose packets were read and counted at open (FfmpegSoundStart.h:
    // Vorbis, DVD LPCM, PCM under a coarse clock): where the frame of each packet
    // begins, in samples from the track's first decoded sample, parallel to
    // positions (Vorbis's first packet's frame, priming, begins before it);
    // otherwise empty.
    std::vector<int64_t> packetSampleOffsets;
    // Where the last packet ends, in the stream's time base, as the file's
    // first reading at open found it.
    int64_t soundEnd = 0;

    // One per sample, in presentation order (for sound and text: one packet
    // as the container stores it); the model's sample table holds their
    // times.
    std::vector<FfmpegSamplePosition> positions;
    // Parallel to positions, 1 for a sync sample: a byte a mark, which a long
    // movie's tables write and read several times faster than the bits of a
    // std::vector<bool>.
    std::vector<uint8_t> sync;
    // Decoded pictures are timed by the order they come out in
    // (FfmpegSampleTable.h: timedByOutputOrder says which).
    bool timedByOutputOrder = false;
    // Sync samples include recovery points that are not IDR pictures (H.264
    // in AVI, from the picture headers): decoding from one gives out the
    // pictures shown before it damaged, and its own picture only when the
    // decoder is told to show every picture.
    bool syncAtRecoveryPoints = false;
    // How far any sample's presentation time lies before its decoding time
    // (stream time base), 0 where none does (pictures shown from where the
    // first is decoded: showFirstPictureAtFirstDecodingTime). Readers
    // looking ahead for a sample allow for it.
    int64_t shownAheadOfDecoding = 0;
    // Pictures of 8-bit indexed colour (8-bit raw, RLE and the like): the
    // palette the file gives its first picture (FFmpeg's AV_PKT_DATA_PALETTE),
    // which decoders need with the first packet of every run; otherwise empty.
    std::vector<uint8_t> palette;
    // Parallel to positions where the file's index places every sample's bytes
    // exactly and readers may take them straight from the file
    // (uncompressed pictures of QuickTime and MP4 files); otherwise empty.
    std::vector<FfmpegByteRange> byteRanges;

    // The stream's parameters as the movie's open probed them, so that
    // readers opening the file again need not probe it once more.
    CodecParametersPtr parameters;

    // The sync sample that decoding of sample index must start from.
    size_t syncSampleBefore(size_t index) const;
};

} // namespace QelRuntime
