// Where ffmpeg's decode puts the first sound of a stream. A container's
// times may include the codec's priming (Opus pre-skip, which Matroska
// counts as its codec delay; Vorbis's first block, which decodes to
// nothing), which the decoder trims or never gives out: a sound track
// starts where its first decoded frame says it does. Internal to the FFmpeg
// movie source, used while a movie's packets are gathered; one thread.
#pragma once

#include "FfmpegLibraries.h"
#include "FfmpegMovie.h"

#include <memory>
#include <optional>

namespace Qel {

// Decodes the first packets of one sound stream, fed in file order, until
// two frames have come out (the first gives the start, the second the
// codec's usual frame length) or too many packets gave none.
class FfmpegSoundStartProbe {
public:
    // A stream whose decoder cannot be opened is never probed: wants() is
    // false from the start.
    explicit FfmpegSoundStartProbe(const AVStream* stream);

    bool wants() const { return wants_; }
    void feed(const AVPacket* packet);
    // What the decoder still holds, once the stream's packets have run out.
    void finish();

    // Nullopt when no frame with a time came out.
    std::optional<FfmpegSoundStart> result() const;

private:
    void receiveFrames();

    CodecContextPtr codec_;
    FramePtr frame_;
    FfmpegSoundStart start_;
    int frames_ = 0;
    int packets_ = 0;
    bool wants_ = false;
};

// Counts the sound samples each packet of a Vorbis stream decodes to, from
// the packet's mode bits (FFmpeg's Vorbis parser), without decoding. Vorbis
// frames vary in length (short blocks at a transient), and a clock that
// rounds (Matroska's milliseconds) does not tell exactly where a frame
// decoded after a seek begins; the count from the first packet does.
class FfmpegVorbisPacketLengths {
public:
    // Counts nothing for a stream of another codec.
    explicit FfmpegVorbisPacketLengths(const AVStream* stream);

    bool counts() const { return parser_ != nullptr; }
    // The samples that packet adds to the sound (the first packet's are the
    // codec's priming, which the decoder never gives out); 0 when unknown.
    int samplesOf(const AVPacket* packet);

private:
    VorbisParserPtr parser_;
};

} // namespace Qel
