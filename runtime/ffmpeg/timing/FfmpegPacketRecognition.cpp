#include "timing/FfmpegPacketRecognition.h"

extern "C" {
#include <libavutil/crc.h>
}

#include <algorithm>
#include <cstdlib>

namespace QelRuntime {

uint64_t packetIdentity(const uint8_t* data, int size)
{
    const uint32_t crc = size > 0 ? av_crc(av_crc_get_table(AV_CRC_32_IEEE_LE), 0, data, size_t(size)) : 0;
    return (uint64_t(uint32_t(size)) << 32) | crc;
}

FfmpegPacketRecognition::FfmpegPacketRecognition(const FfmpegTrack& track) : track_(track)
{
    for (size_t i = 0; i < track.positions.size(); ++i) {
        if (track.positions[i].identity != 0)
            samplesByIdentity_[track.positions[i].identity].push_back(i);
    }
    for (auto& entry : samplesByIdentity_) {
        std::sort(entry.second.begin(), entry.second.end(), [&](size_t a, size_t b) {
            return track.positions[a].dts < track.positions[b].dts;
        });
    }
}

void FfmpegPacketRecognition::restart(int64_t near)
{
    lastDts_.reset();
    near_ = near;
}

// Among identical packets: the next one in decoding order after the last
// packet recognised; right after a seek, the one nearest the time the
// demuxer guessed (or the place the reader resumes from).
size_t FfmpegPacketRecognition::choose(const std::vector<size_t>& candidates, const AVPacket* packet) const
{
    if (candidates.size() == 1)
        return candidates.front();
    if (lastDts_) {
        for (size_t candidate : candidates) {
            if (track_.positions[candidate].dts > *lastDts_)
                return candidate;
        }
    }
    int64_t guess = packet->dts != AV_NOPTS_VALUE ? packet->dts : packet->pts;
    if (guess == AV_NOPTS_VALUE)
        guess = near_;
    return *std::min_element(candidates.begin(), candidates.end(), [&](size_t a, size_t b) {
        return std::llabs(track_.positions[a].dts - guess) < std::llabs(track_.positions[b].dts - guess);
    });
}

std::optional<size_t> FfmpegPacketRecognition::recognise(AVPacket* packet)
{
    const auto found = samplesByIdentity_.find(packetIdentity(packet->data, packet->size));
    if (found == samplesByIdentity_.end())
        return std::nullopt;
    const size_t sample = choose(found->second, packet);
    const FfmpegSamplePosition& position = track_.positions[sample];
    packet->pts = position.pts;
    packet->dts = position.dts;
    lastDts_ = position.dts;
    return sample;
}

} // namespace QelRuntime
