#include "timing/FfmpegPacketRecord.h"

#include "codecs/FfmpegSoundStart.h"

namespace QelRuntime {

FfmpegStreamFacts streamFactsOf(const AVStream* stream)
{
    FfmpegStreamFacts facts;
    facts.video = stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO;
    facts.sound = stream->codecpar->codec_type == AVMEDIA_TYPE_AUDIO;
    facts.start = stream->start_time;
    facts.duration = stream->duration;
    facts.firstCountedPacketPrimes = firstCountedPacketPrimes(stream);
    return facts;
}

} // namespace QelRuntime
