// Decodes one sound track of an FfmpegMovie into interleaved 32-bit float
// frames at a chosen rate and channel count (libswresample), positioned in
// frames of that rate from the movie's time 0. One thread at a time; must not
// outlive the movie.
//
// Channels are mixed with libswresample's matrix without normalisation: a
// 5.1 source gives L = FL + 0.707 C + 0.707 SL and R = FR + 0.707 C + 0.707 SR,
// the LFE channel left out; a mono source goes to both sides at full level.
// The sum may exceed full scale; FfmpegAudioExtraction limits it before the
// 16-bit conversion.
#pragma once

#include "FfmpegLibraries.h"
#include "FfmpegMovie.h"
#include "FfmpegPacketReader.h"

#include <memory>
#include <optional>
#include <vector>

namespace QelRuntime {

class FfmpegAudioTrackDecoder {
public:
    // Null with a status when the track cannot be decoded: kFfmpegNoCodec or
    // kFfmpegCodecError (told on standard error, FfmpegDecoderRefusal.h),
    // kFfmpegBadData.
    static std::unique_ptr<FfmpegAudioTrackDecoder> open(const FfmpegMovie& movie, size_t trackIndex, int rate,
                                                         int channels, QtStatus& status);

    // The next frames produced start exactly at frame (of the output rate,
    // from time 0): decoding resumes a little before it and the excess is
    // trimmed; sound that starts later is preceded by silence.
    void seek(int64_t frame);

    // Up to frames frames into out (frames x channels floats). Fewer only at
    // the end of the track.
    size_t read(float* out, size_t frames);

private:
    FfmpegAudioTrackDecoder(const FfmpegMovie& movie, std::unique_ptr<FfmpegPacketReader> reader,
                            CodecContextPtr codec, ResampleContextPtr resampler, int rate, int channels);

    // Decodes and converts the next frame (at the end, what the resampler
    // holds): into out (direct: how many frames) or into pending_. False
    // when nothing more comes.
    bool decodeMore(float* out, size_t capacity, size_t& direct);
    bool receiveFrame(AVFrame* frame);
    // Makes the resampler for frame's format unless the one there fits; null
    // frame: the one there, if any.
    bool readyResampler(const AVFrame* frame);
    // Returns the frames written straight into out (room for capacity).
    size_t convert(const AVFrame* frame, float* out, size_t capacity);
    void placeFirstFrame(const AVFrame* frame);
    // The output frame (from time 0) at which the track's sound ends, where
    // the stream's clock counts its samples; INT64_MAX elsewhere.
    int64_t endFrame() const;
    // The output frame (from time 0) at which a decoded frame of time pts
    // (the track's time base) and that many samples begins.
    int64_t outputFrameAt(int64_t pts, int samples) const;
    // The same from the packets' counted sound (FfmpegPacketSampleCounts, read at
    // open), where one packet has that time.
    std::optional<int64_t> countedFrameAt(int64_t pts) const;
    // Ticks of the track's clock by which a packet of time pts comes later
    // than its sound plays back to back: the stretch of the first packet.
    int64_t stretchBefore(int64_t pts, int usual) const;

    const FfmpegMovie& movie_;
    std::unique_ptr<FfmpegPacketReader> reader_;
    CodecContextPtr codec_;
    ResampleContextPtr resampler_;
    // What the resampler was made for.
    struct ResamplerInput {
        int rate = 0;
        int format = -1;
        int channels = 0;
        bool operator==(const ResamplerInput& other) const
        {
            return rate == other.rate && format == other.format && channels == other.channels;
        }
    };
    ResamplerInput resamplerInput_;
    PacketPtr packet_;
    FramePtr frame_;
    int rate_;
    int channels_;

    // After a seek: the frame asked for, and whether the first decoded frame
    // has placed the output yet (trimming or silence still to come).
    int64_t target_ = 0;
    int64_t next_ = 0;  // the output frame that read() gives out next
    int64_t end_ = INT64_MAX;  // endFrame()
    bool placed_ = false;
    int64_t silence_ = 0;  // frames of silence before the next decoded ones
    int64_t trim_ = 0;     // decoded frames still to drop
    bool flushed_ = false;  // decoder and resampler have given out everything

    // Converted frames not yet read: pending_[pendingOffset_, pendingEnd_),
    // in floats.
    std::vector<float> pending_;
    size_t pendingOffset_ = 0;
    size_t pendingEnd_ = 0;
};

} // namespace QelRuntime
