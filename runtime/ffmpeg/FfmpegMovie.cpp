#include "FfmpegMovie.h"

#include "FfmpegCodecCodes.h"
#include "FfmpegLargeTables.h"
#include "FfmpegLibraries.h"
#include "FfmpegRescaler.h"
#include "FfmpegSampleTable.h"
#include "FfmpegTimeScale.h"

extern "C" {
#include <libavutil/imgutils.h>
}

#include <algorithm>
#include <limits>

namespace Qel {

namespace {

AVRational toAv(FfmpegRational value) { return {value.num, value.den}; }

bool isPicture(QtOSType mediaType) { return mediaType == kVideoMediaType || mediaType == kMpegVideoMediaType; }

void describeVideo(const AVStream* stream, FfmpegTrack& track)
{
    const AVCodecParameters* parameters = stream->codecpar;
    const VideoCode code = videoCodeOf(stream);
    track.compressionType = code.code;
    track.depth = code.depth;
    // A size that FFmpeg's own decoders refuse (a damaged header) describes
    // no picture: 0 x 0, which a stream declines to open, instead of frames
    // of gigabytes that no decoder will ever fill.
    const bool decodable = av_image_check_size(unsigned(parameters->width), unsigned(parameters->height), 0,
                                               nullptr) == 0 &&
                           parameters->width <= 0x7FFF && parameters->height <= 0x7FFF;
    track.width = decodable ? int16_t(parameters->width) : 0;
    track.height = decodable ? int16_t(parameters->height) : 0;
    if (parameters->codec_id == AV_CODEC_ID_RAWVIDEO && parameters->format >= 0) {
        const int size = av_image_get_buffer_size(AVPixelFormat(parameters->format), parameters->width,
                                                  parameters->height, 1);
        track.descriptionDataSize = size > 0 ? size : 0;
    }
}

void describeSound(const AVStream* stream, FfmpegTrack& track)
{
    track.soundFormat = soundCodeOf(stream);
    track.sampleRate = stream->codecpar->sample_rate;
    track.channels = stream->codecpar->ch_layout.nb_channels;
}

std::optional<QtOSType> contentTypeOf(const AVFormatContext* format)
{
    const AVDictionaryEntry* entry = av_dict_get(format->metadata, "ctyp", nullptr, 0);
    if (!entry || std::char_traits<char>::length(entry->value) != 4)
        return std::nullopt;
    const char* v = entry->value;
    return fourCc(v[0], v[1], v[2], v[3]);
}

} // namespace

class FfmpegMovieBuilder {
public:
    FfmpegMovieBuilder(FfmpegMovie& movie, AVFormatContext* format) : movie_(movie), format_(format) {}

    bool build()
    {
        packets_ = collectStreamPackets(format_);
        for (unsigned i = 0; i < format_->nb_streams; ++i)
            addTrack(format_->streams[i]);
        if (movie_.tracks_.empty())
            return false;
        placeOrigin();
        const double length = lengthSeconds();
        const int32_t common = commonVideoScale(videoBases(), length);
        movie_.timeScale_ = common ? common : scaleBeyondVideoBases(videoTimings(), length, firstSoundRate());
        int64_t duration = 0;
        for (FfmpegTrack& track : movie_.tracks_) {
            fillSamples(track);
            duration = std::max(duration, track.duration);
        }
        movie_.duration_ = int32_t(std::min<int64_t>(duration, std::numeric_limits<int32_t>::max()));
        if (const AVDictionaryEntry* title = av_dict_get(format_->metadata, "title", nullptr, 0))
            movie_.title_ = title->value;
        movie_.contentType_ = contentTypeOf(format_);
        return true;
    }

private:
    void addTrack(const AVStream* stream)
    {
        const unsigned index = unsigned(stream->index);
        if (packets_[index].empty())
            return;
        FfmpegTrack track;
        track.mediaType = mediaTypeOf(stream, format_->iformat->name);
        track.streamIndex = stream->index;
        track.timeBase = {stream->time_base.num, stream->time_base.den};
        track.parameters = copyCodecParameters(stream->codecpar);
        if (isPicture(track.mediaType))
            describeVideo(stream, track);
        else if (track.mediaType == kSoundMediaType)
            describeSound(stream, track);
        packets_[index] = presentationOrder(std::move(packets_[index]), stream);
        if (track.descriptionDataSize != 0 && headerDescribesStreams(format_))
            placeSampleBytes(track, format_->streams[index], packets_[index]);
        movie_.tracks_.push_back(std::move(track));
    }

    // A QuickTime or MP4 demuxer hands out a sample as the bytes at its index
    // entry. Uncompressed pictures are shown in the order they are stored,
    // which the decoding times confirm entry by entry.
    static void placeSampleBytes(FfmpegTrack& track, AVStream* stream, const std::vector<StreamPacket>& shown)
    {
        std::vector<FfmpegByteRange> ranges;
        ranges.reserve(shown.size());
        const int entries = avformat_index_get_entries_count(stream);
        for (int i = 0; i < entries; ++i) {
            const AVIndexEntry* entry = avformat_index_get_entry(stream, i);
            if (entry->flags & AVINDEX_DISCARD_FRAME)
                continue;
            const size_t sample = ranges.size();
            if (sample >= shown.size() || entry->timestamp != shown[sample].dts || entry->pos < 0 || entry->size <= 0)
                return;
            ranges.push_back({entry->pos, entry->size});
        }
        if (ranges.size() == shown.size())
            track.byteRanges = std::move(ranges);
    }

    const std::vector<StreamPacket>& packetsOf(const FfmpegTrack& track) const
    {
        return packets_[size_t(track.streamIndex)];
    }

    // The earliest first picture; the earliest first sound sample when there
    // is no picture.
    void placeOrigin()
    {
        for (bool pictures : {true, false}) {
            bool found = false;
            for (const FfmpegTrack& track : movie_.tracks_) {
                if (isPicture(track.mediaType) != pictures || (!pictures && track.mediaType != kSoundMediaType))
                    continue;
                const int64_t first = packetsOf(track).front().pts;
                if (!found || av_compare_ts(first, toAv(track.timeBase), movie_.originValue_,
                                            toAv(movie_.originBase_)) < 0) {
                    movie_.originValue_ = first;
                    movie_.originBase_ = track.timeBase;
                    found = true;
                }
            }
            if (found)
                return;
        }
    }

    std::vector<FfmpegRational> videoBases() const
    {
        std::vector<FfmpegRational> bases;
        for (const FfmpegTrack& track : movie_.tracks_) {
            if (isPicture(track.mediaType))
                bases.push_back(track.timeBase);
        }
        return bases;
    }

    std::vector<VideoTiming> videoTimings() const
    {
        std::vector<VideoTiming> timings;
        for (const FfmpegTrack& track : movie_.tracks_) {
            if (!isPicture(track.mediaType))
                continue;
            VideoTiming timing{track.timeBase, {}};
            const int64_t origin = movie_.originIn(track.timeBase);
            reserveLargeTable(timing.ticks, 2 * packetsOf(track).size());
            for (const StreamPacket& packet : packetsOf(track)) {
                timing.ticks.push_back(packet.pts - origin);
                timing.ticks.push_back(packet.duration);
            }
            timings.push_back(std::move(timing));
        }
        return timings;
    }

    double lengthSeconds() const
    {
        double length = 0;
        for (const FfmpegTrack& track : movie_.tracks_) {
            const StreamPacket& last = packetsOf(track).back();
            const int64_t end = last.pts + last.duration - movie_.originIn(track.timeBase);
            length = std::max(length, double(end) * av_q2d(toAv(track.timeBase)));
        }
        return length;
    }

    int firstSoundRate() const
    {
        for (const FfmpegTrack& track : movie_.tracks_) {
            if (track.mediaType == kSoundMediaType)
                return track.sampleRate;
        }
        return 0;
    }

    // The movie's time 0 in movie units, which every sample's time is
    // measured from (computed once: a long movie has many samples).
    int64_t originInMovieUnits() const
    {
        return av_rescale_q(movie_.originValue_, toAv(movie_.originBase_), {1, movie_.timeScale_});
    }

    void fillSamples(FfmpegTrack& track) const
    {
        const FfmpegRescaler toMovieUnits(toAv(track.timeBase), {1, movie_.timeScale_});
        const std::vector<StreamPacket>& packets = packetsOf(track);
        const int64_t origin = originInMovieUnits();
        reserveLargeTable(track.samples, packets.size());
        reserveLargeTable(track.positions, packets.size());
        for (const StreamPacket& packet : packets) {
            const int64_t start = toMovieUnits(packet.pts) - origin;
            const int64_t end = toMovieUnits(packet.pts + std::max<int64_t>(packet.duration, 0)) - origin;
            // Sound that begins before the first picture keeps its place in
            // the file but starts at time 0 in the tables.
            const int64_t time = std::max<int64_t>(start, 0);
            FfmpegSample& sample = track.samples.emplace_back();  // in place: see FfmpegLargeTables.h
            sample.time = time;
            sample.duration = std::max<int64_t>(end - time, 1);
            sample.sync = packet.key;
            FfmpegSamplePosition& position = track.positions.emplace_back();
            position.pts = packet.pts;
            position.dts = packet.dts;
            position.identity = packet.identity;
        }
        track.duration = track.samples.back().time + track.samples.back().duration;
    }

    FfmpegMovie& movie_;
    AVFormatContext* format_;
    std::vector<std::vector<StreamPacket>> packets_;
};

std::unique_ptr<FfmpegMovie> FfmpegMovie::open(const std::string& path)
{
    FormatContextPtr format = openFormat(path.c_str());
    if (!format)
        return nullptr;
    std::unique_ptr<FfmpegMovie> movie(new FfmpegMovie());
    movie->path_ = path;
    if (!FfmpegMovieBuilder(*movie, format.get()).build())
        return nullptr;
    if (headerDescribesStreams(format.get()))
        movie->spareDemuxer_ = std::move(format);
    return movie;
}

FormatContextPtr FfmpegMovie::takeDemuxer() const
{
    std::lock_guard<std::mutex> guard(spareLock_);
    return std::move(spareDemuxer_);
}

int64_t FfmpegMovie::originIn(FfmpegRational timeBase) const
{
    return av_rescale_q(originValue_, toAv(originBase_), toAv(timeBase));
}

size_t FfmpegTrack::syncSampleBefore(size_t index) const
{
    for (size_t i = std::min(index, samples.size() - 1) + 1; i-- > 0;) {
        if (samples[i].sync)
            return i;
    }
    return 0;
}

size_t FfmpegTrack::sampleAtTime(int64_t time) const
{
    const auto after = std::upper_bound(samples.begin(), samples.end(), time,
                                        [](int64_t t, const FfmpegSample& sample) { return t < sample.time; });
    return after == samples.begin() ? 0 : size_t(after - samples.begin()) - 1;
}

} // namespace Qel
