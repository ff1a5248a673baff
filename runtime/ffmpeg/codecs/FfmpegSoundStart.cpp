#include "codecs/FfmpegSoundStart.h"

#include <algorithm>

namespace QelRuntime {

namespace {

// A codec's priming lasts a packet or two: a stream that has given no two
// frames after this many packets keeps what it has.
constexpr int kMostPacketsProbed = 32;

} // namespace

FfmpegSoundStartProbe::FfmpegSoundStartProbe(const AVStream* stream)
    : codec_(openDecoder(stream, false)), frame_(makeFrame()), wants_(codec_ != nullptr)
{
}

void FfmpegSoundStartProbe::feed(const AVPacket* packet)
{
    if (!wants_)
        return;
    // A damaged packet is one the decoder refuses; the next ones still count.
    avcodec_send_packet(codec_.get(), packet);
    receiveFrames();
    if (++packets_ >= kMostPacketsProbed)
        wants_ = false;
}

void FfmpegSoundStartProbe::finish()
{
    if (!wants_)
        return;
    avcodec_send_packet(codec_.get(), nullptr);
    receiveFrames();
    wants_ = false;
}

void FfmpegSoundStartProbe::receiveFrames()
{
    while (wants_ && avcodec_receive_frame(codec_.get(), frame_.get()) >= 0) {
        if (frames_ == 0) {
            start_.pts = frame_->pts != AV_NOPTS_VALUE ? frame_->pts : frame_->best_effort_timestamp;
            start_.firstFrameSamples = frame_->nb_samples;
        } else {
            start_.frameSamples = frame_->nb_samples;
            wants_ = false;
        }
        ++frames_;
        av_frame_unref(frame_.get());
    }
}

std::optional<FfmpegSoundStart> FfmpegSoundStartProbe::result() const
{
    if (frames_ == 0 || start_.pts == AV_NOPTS_VALUE)
        return std::nullopt;
    return start_;
}

FfmpegPacketSampleCounts::FfmpegPacketSampleCounts(const AVStream* stream)
{
    const AVCodecParameters* parameters = stream->codecpar;
    if (parameters->codec_id == AV_CODEC_ID_VORBIS && parameters->extradata && parameters->extradata_size > 0)
        parser_.reset(av_vorbis_parse_init(parameters->extradata, parameters->extradata_size));
    // Whole bytes per sample (4-bit ADPCM has headers of its own) under a
    // tick longer than a sample.
    const int bits = av_get_exact_bits_per_sample(parameters->codec_id);
    const bool coarseClock = int64_t(stream->time_base.num) * parameters->sample_rate > stream->time_base.den;
    if (bits >= 8 && bits % 8 == 0 && coarseClock && parameters->ch_layout.nb_channels > 0)
        pcmFrameBytes_ = bits / 8 * parameters->ch_layout.nb_channels;
    if (parameters->codec_id == AV_CODEC_ID_PCM_DVD && (decoder_ = openDecoder(stream, false)))
        frame_ = makeFrame();
}

int FfmpegPacketSampleCounts::samplesOf(const AVPacket* packet)
{
    if (!packet->data || packet->size <= 0)
        return 0;
    if (parser_)
        return std::max(av_vorbis_parse_frame(parser_.get(), packet->data, packet->size), 0);
    if (pcmFrameBytes_ > 0)
        return packet->size / pcmFrameBytes_;
    if (!decoder_ || avcodec_send_packet(decoder_.get(), packet) < 0)
        return 0;
    int samples = 0;
    while (avcodec_receive_frame(decoder_.get(), frame_.get()) >= 0) {
        samples += frame_->nb_samples;
        av_frame_unref(frame_.get());
    }
    return samples;
}

bool firstCountedPacketPrimes(const AVStream* stream) { return stream->codecpar->codec_id == AV_CODEC_ID_VORBIS; }

} // namespace QelRuntime
