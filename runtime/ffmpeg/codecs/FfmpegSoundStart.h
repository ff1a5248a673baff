// Where ffmpeg's decode puts the first sound of a stream. A container's
// times may include the codec's priming (Opus pre-skip, which Matroska
// counts as its codec delay; Vorbis's first block, which decodes to
// nothing), which the decoder trims or never gives out: a sound track
// starts where its first decoded frame says it does. Internal to the FFmpeg
// movie source, used while a movie's packets are gathered; one thread.
#pragma once

#include "FfmpegLibraries.h"
#include "FfmpegTrack.h"

#include <memory>
#include <optional>

namespace QelRuntime {

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

// Counts the sound samples each packet decodes to, where a clock does not
// tell exactly where a frame decoded after a seek begins. Vorbis frames vary
// in length (short blocks at a transient) and a clock that rounds
// (Matroska's milliseconds) misplaces them: they are counted from the
// packet's mode bits (FFmpeg's Vorbis parser), without decoding. DVD LPCM
// frames vary by a sample, and an MPEG program stream made by ffmpeg misses
// a packet's time near its start, which a whole read does not play: its
// packets are decoded, a copy of their bytes. Plain PCM under a clock that
// ticks less often than its samples (raw DV ticks once a frame, and an NTSC
// frame holds 1600 or 1602 samples) is counted from each packet's size.
class FfmpegPacketSampleCounts {
public:
    // Counts nothing for a stream of another codec.
    explicit FfmpegPacketSampleCounts(const AVStream* stream);

    // The samples that packet adds to the sound (Vorbis's first packet's
    // are the codec's priming, which the decoder never gives out); 0 when
    // unknown.
    int samplesOf(const AVPacket* packet);

private:
    VorbisParserPtr parser_;
    int pcmFrameBytes_ = 0;  // of one sample of every channel, where counted by size
    CodecContextPtr decoder_;
    FramePtr frame_;
};

// Whether a stream's first counted packet is its codec's priming.
bool firstCountedPacketPrimes(const AVStream* stream);

} // namespace QelRuntime
