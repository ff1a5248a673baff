#include "sound/FfmpegAudioTrackDecoder.h"

#include "FfmpegDecoderRefusal.h"
#include "FfmpegStatus.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace QelRuntime {

namespace {

constexpr int kDamagedPacketsInARow = 32;
// Decoding resumes this far before a seek's target, so that decoders that
// carry state from packet to packet (overlapped transforms, MP3's bit
// reservoir) produce the target's samples exactly: a fifth of a second.
// MP3 draws on the bytes of the frames before (up to 511, or 255 at half
// rates), which at its lowest rates is eight frames at 32 kbit/s and twenty
// at 8 kbit/s and 22.05 kHz, about half a second; a frame's overlap with the
// one before needs that one whole too: a second.
int prerollDivisor(AVCodecID codec) { return codec == AV_CODEC_ID_MP3 ? 1 : 5; }

} // namespace

std::unique_ptr<FfmpegAudioTrackDecoder> FfmpegAudioTrackDecoder::open(const FfmpegMovie& movie, size_t trackIndex,
                                                                       int rate, int channels, QtStatus& status)
{
    std::unique_ptr<FfmpegPacketReader> reader = FfmpegPacketReader::open(movie, trackIndex);
    if (!reader || rate <= 0 || channels < 1 || channels > 2) {
        status = kFfmpegBadData;
        return nullptr;
    }
    CodecContextPtr codec = openDecoder(reader->stream(), false);
    if (!codec) {
        status = refuseUndecodableTrack(movie, trackIndex, reader->stream());
        return nullptr;
    }
    status = 0;
    std::unique_ptr<FfmpegAudioTrackDecoder> decoder(
        new FfmpegAudioTrackDecoder(movie, std::move(reader), std::move(codec), nullptr, rate, channels));
    decoder->seek(0);
    return decoder;
}

FfmpegAudioTrackDecoder::FfmpegAudioTrackDecoder(const FfmpegMovie& movie, std::unique_ptr<FfmpegPacketReader> reader,
                                                 CodecContextPtr codec, ResampleContextPtr resampler, int rate,
                                                 int channels)
    : movie_(movie), reader_(std::move(reader)), codec_(std::move(codec)), resampler_(std::move(resampler)),
      packet_(makePacket()), frame_(makeFrame()), rate_(rate), channels_(channels)
{
    end_ = endFrame();
}

// FFmpeg's Ogg demuxer works out on the file's last page how much of the
// last packet's sound to trim, and keeps what it worked out from one pass
// over that page to the next: later passes (after a seek) trim wrongly, and
// a few hundred samples too many of Vorbis sound come out. Where the file
// was read at open and its clock counts samples (Ogg), the end that first
// reading found is exact. A clock of milliseconds (Matroska) gives no exact
// end, and QuickTime and MP4 sound plays on to the end of its last frame as
// FFmpeg decodes it: there the decoder's own end holds.
int64_t FfmpegAudioTrackDecoder::endFrame() const
{
    const FfmpegTrack& track = reader_->track();
    if (!track.decodedStart || track.timeBase.num != 1 || track.timeBase.den != track.sampleRate ||
        track.sampleRate <= 0)
        return INT64_MAX;
    return av_rescale(track.soundEnd - movie_.originIn(track.timeBase), rate_, track.sampleRate);
}

void FfmpegAudioTrackDecoder::seek(int64_t frame)
{
    target_ = next_ = std::max<int64_t>(frame, 0);
    placed_ = false;
    silence_ = trim_ = 0;
    flushed_ = false;
    pendingOffset_ = pendingEnd_ = 0;
    avcodec_flush_buffers(codec_.get());
    resampler_.reset();

    const FfmpegTrack& track = reader_->track();
    const int64_t scale = movie_.timeScale();
    const int64_t time =
        av_rescale(target_, scale, rate_) - scale / prerollDivisor(reader_->stream()->codecpar->codec_id);
    if (time <= 0 || !reader_->seekToSync(track.syncSampleBefore(movie_.sampleAtTime(track, time))))
        reader_->rewind();
}

size_t FfmpegAudioTrackDecoder::read(float* out, size_t frames)
{
    frames = size_t(std::clamp<int64_t>(end_ - next_, 0, int64_t(frames)));
    size_t produced = 0;
    while (produced < frames) {
        if (silence_ > 0) {
            const size_t count = size_t(std::min<int64_t>(silence_, int64_t(frames - produced)));
            std::fill_n(out + produced * channels_, count * channels_, 0.0f);
            silence_ -= int64_t(count);
            produced += count;
            continue;
        }
        const size_t available = (pendingEnd_ - pendingOffset_) / channels_;
        if (available > 0) {
            const size_t count = std::min(available, frames - produced);
            std::memcpy(out + produced * channels_, pending_.data() + pendingOffset_,
                        count * channels_ * sizeof(float));
            pendingOffset_ += count * channels_;
            produced += count;
            continue;
        }
        pendingOffset_ = pendingEnd_ = 0;
        size_t direct = 0;
        if (!decodeMore(out + produced * channels_, frames - produced, direct))
            break;
        produced += direct;
    }
    next_ += int64_t(produced);
    return produced;
}

bool FfmpegAudioTrackDecoder::receiveFrame(AVFrame* frame)
{
    int damaged = 0;
    for (;;) {
        const int received = avcodec_receive_frame(codec_.get(), frame);
        if (received >= 0)
            return true;
        if (received != AVERROR(EAGAIN))
            return false;
        if (!reader_->readPacket(packet_.get())) {
            avcodec_send_packet(codec_.get(), nullptr);
            continue;
        }
        const int sent = avcodec_send_packet(codec_.get(), packet_.get());
        av_packet_unref(packet_.get());
        damaged = sent < 0 && sent != AVERROR(EAGAIN) ? damaged + 1 : 0;
        if (damaged >= kDamagedPacketsInARow)
            return false;
    }
}

bool FfmpegAudioTrackDecoder::decodeMore(float* out, size_t capacity, size_t& direct)
{
    direct = 0;
    if (flushed_)
        return false;
    if (receiveFrame(frame_.get())) {
        if (!placed_)
            placeFirstFrame(frame_.get());
        direct = convert(frame_.get(), out, capacity);
        av_frame_unref(frame_.get());
        return true;
    }
    // The end: what the resampler still holds.
    direct = convert(nullptr, out, capacity);
    flushed_ = true;
    return direct > 0 || pendingEnd_ > pendingOffset_;
}

void FfmpegAudioTrackDecoder::placeFirstFrame(const AVFrame* frame)
{
    placed_ = true;
    const int64_t pts = frame->pts != AV_NOPTS_VALUE ? frame->pts : frame->best_effort_timestamp;
    if (pts == AV_NOPTS_VALUE)
        return;
    const int64_t first = outputFrameAt(pts, frame->nb_samples);
    if (first < target_)
        trim_ = target_ - first;
    else
        silence_ = first - target_;
}

// Frames of a codec's usual length play back to back, as FFmpeg's own
// decode plays them: a frame starts a whole number of such frames after a
// frame boundary, even where the container rounds its times (Matroska's
// milliseconds, MPEG's 90 kHz clock). The boundary is the end of the
// track's first decoded frame where the packets were read at open (the
// first frame may be cut by the codec's priming), else its first packet.
// The usual length is the codec's constant frame size (MP3, MP2, AAC), or
// the second decoded frame's for codecs whose frames may vary (Opus, FLAC;
// Vorbis packets counted at open are placed by their count instead). A
// frame too far from its place keeps its own time: more than half a frame
// where frames are constant (a real gap), more than two ticks of the
// stream's clock where they may vary (frames of another length before it
// move the grid). A shorter frame is the first one decoded, cut
// at its start (Opus pre-skip, applied again after some seeks in Matroska;
// the priming an edit list trims): its end lies on the grid, or else it
// keeps its own time.
int64_t FfmpegAudioTrackDecoder::outputFrameAt(int64_t pts, int samples) const
{
    if (const std::optional<int64_t> counted = countedFrameAt(pts))
        return *counted;
    const FfmpegTrack& track = reader_->track();
    const long double tick = (long double)track.timeBase.num / track.timeBase.den;
    const int64_t origin = movie_.originIn(track.timeBase);
    const AVCodecParameters* parameters = reader_->stream()->codecpar;
    const bool constant = parameters->frame_size > 0;
    const int usual = constant ? parameters->frame_size : track.decodedStart ? track.decodedStart->frameSamples : 0;
    if (usual <= 0 || samples <= 0 || samples > usual || parameters->sample_rate <= 0 || track.positions.empty())
        return std::llround((long double)(pts - origin) * tick * rate_);
    const long double seconds = (long double)(pts - origin - stretchBefore(pts, usual)) * tick;
    const long double frameSeconds = (long double)usual / parameters->sample_rate;
    const long double anchor =
        track.decodedStart ? (long double)(track.decodedStart->pts - origin) * tick +
                                 (long double)track.decodedStart->firstFrameSamples / parameters->sample_rate
                           : (long double)(track.positions.front().pts - origin) * tick;
    const long double reach = constant ? frameSeconds / 2 : std::min(frameSeconds / 2, 2 * tick);
    // Where the whole frame whose end this one is would begin.
    const long double cut = (long double)(usual - samples) / parameters->sample_rate;
    const long double wholeStart = seconds - cut;
    const long double backToBack = anchor + std::round((wholeStart - anchor) / frameSeconds) * frameSeconds;
    if (std::fabs(backToBack - wholeStart) < reach)
        return std::llround((backToBack + cut) * rate_);
    return std::llround(seconds * rate_);
}

// ffmpeg's fragmented MP4 muxer stretches a sound track's first packet by
// the pictures' reordering delay where no edit list can shift them: the
// packet lasts longer than the one frame it decodes to, and every later
// packet's time counts the stretch, which a whole read (as ffmpeg's decode)
// does not play. Where the first packet of a track of constant frames, not
// read at open, lasts more than one frame and not a whole number of them (a
// packet of several frames), the stretch is taken out of later times, so
// that a frame decoded after a seek lands where a whole read puts it.
int64_t FfmpegAudioTrackDecoder::stretchBefore(int64_t pts, int usual) const
{
    const FfmpegTrack& track = reader_->track();
    const AVCodecParameters* parameters = reader_->stream()->codecpar;
    if (parameters->frame_size <= 0 || track.decodedStart || track.positions.size() < 2 ||
        pts < track.positions[1].pts)
        return 0;
    const int64_t first = track.positions[0].pts;
    const int64_t step = track.positions[1].pts - first;
    const int64_t frameTicks = av_rescale_q(usual, AVRational{1, parameters->sample_rate},
                                               AVRational{track.timeBase.num, track.timeBase.den});
    if (frameTicks <= 0 || step <= frameTicks)
        return 0;
    const int64_t offGrid = step % frameTicks;
    const int64_t jitter = 2;  // ticks of a clock that rounds its times
    if (offGrid <= jitter || frameTicks - offGrid <= jitter)
        return 0;
    return step - frameTicks;
}

// Vorbis's, DVD LPCM's and DV's frames vary in length; their packets were counted
// at open, and a frame has the time of the packet that completes it.
std::optional<int64_t> FfmpegAudioTrackDecoder::countedFrameAt(int64_t pts) const
{
    const FfmpegTrack& track = reader_->track();
    const std::vector<FfmpegSamplePosition>& positions = track.positions;
    if (track.packetSampleOffsets.size() != positions.size() || !track.decodedStart || track.sampleRate <= 0)
        return std::nullopt;
    const auto earlier = [](const FfmpegSamplePosition& position, int64_t time) { return position.pts < time; };
    const auto found = std::lower_bound(positions.begin(), positions.end(), pts, earlier);
    if (found == positions.end() || found->pts != pts || (found + 1 != positions.end() && found[1].pts == pts))
        return std::nullopt;
    const long double tick = (long double)track.timeBase.num / track.timeBase.den;
    const long double start = (long double)(track.decodedStart->pts - movie_.originIn(track.timeBase)) * tick;
    const int64_t offset = track.packetSampleOffsets[size_t(found - positions.begin())];
    return std::llround((start + (long double)offset / track.sampleRate) * rate_);
}

bool FfmpegAudioTrackDecoder::readyResampler(const AVFrame* frame)
{
    // A damaged or spliced stream can change its rate, sample format or
    // channel count midway, and a resampler made for other frames would read
    // planes the frame does not have.
    const ResamplerInput input{frame ? frame->sample_rate : 0, frame ? frame->format : -1,
                               frame ? frame->ch_layout.nb_channels : 0};
    if (resampler_ && frame && !(input == resamplerInput_))
        resampler_.reset();
    if (!resampler_) {
        if (!frame)
            return false;
        AVChannelLayout layout{};
        if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
            av_channel_layout_default(&layout, frame->ch_layout.nb_channels);
        else
            av_channel_layout_copy(&layout, &frame->ch_layout);
        AVChannelLayout output{};
        av_channel_layout_default(&output, channels_);
        SwrContext* raw = nullptr;
        swr_alloc_set_opts2(&raw, &output, AV_SAMPLE_FMT_FLT, rate_, &layout, AVSampleFormat(frame->format),
                            frame->sample_rate, 0, nullptr);
        av_channel_layout_uninit(&layout);
        av_channel_layout_uninit(&output);
        resampler_.reset(raw);
        // Mixing in float keeps the matrix unnormalised (see the header). A
        // mono track is heard at its full level on both sides.
        const double monoToBothSides[2] = {1.0, 1.0};
        const bool monoToStereo = frame->ch_layout.nb_channels == 1 && channels_ == 2;
        if (!resampler_ || av_opt_set_sample_fmt(raw, "internal_sample_fmt", AV_SAMPLE_FMT_FLTP, 0) < 0 ||
            (monoToStereo && swr_set_matrix(raw, monoToBothSides, 1) < 0) || swr_init(raw) < 0) {
            resampler_.reset();
            return false;
        }
        resamplerInput_ = input;
    }
    return true;
}

size_t FfmpegAudioTrackDecoder::convert(const AVFrame* frame, float* out, size_t capacity)
{
    if (!readyResampler(frame))
        return 0;
    const int inputFrames = frame ? frame->nb_samples : 0;
    const int room = swr_get_out_samples(resampler_.get(), inputFrames);
    if (room <= 0)
        return 0;
    // Straight into the caller's buffer where the frames surely fit there and
    // nothing is to come before them or be dropped from them; otherwise into
    // pending_, which only grows, so converting never zero-fills it first.
    const bool direct = trim_ == 0 && silence_ == 0 && pendingEnd_ == pendingOffset_ && size_t(room) <= capacity;
    if (!direct && pending_.size() < pendingEnd_ + size_t(room) * channels_)
        pending_.resize(pendingEnd_ + size_t(room) * channels_);
    uint8_t* destination = reinterpret_cast<uint8_t*>(direct ? out : pending_.data() + pendingEnd_);
    const int converted = swr_convert(resampler_.get(), &destination, room,
                                      frame ? const_cast<const uint8_t**>(frame->extended_data) : nullptr,
                                      inputFrames);
    const size_t count = size_t(std::max(converted, 0));
    if (direct)
        return count;
    pendingEnd_ += count * channels_;

    const size_t dropped = size_t(std::min<int64_t>(trim_, int64_t((pendingEnd_ - pendingOffset_) / channels_)));
    pendingOffset_ += dropped * channels_;
    trim_ -= int64_t(dropped);
    return 0;
}

} // namespace QelRuntime
