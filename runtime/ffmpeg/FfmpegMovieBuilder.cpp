// Opening a movie: the demuxer's header and probing, the container's traits,
// every stream's packets ordered (FfmpegSampleTable.h), the tracks, the
// movie's time 0 and time scale, and its model. The top of the FFmpeg movie
// source's opening: nothing below includes it.
#include "FfmpegModel.h"
#include "FfmpegMovie.h"
#include "FfmpegSampleTable.h"
#include "timing/FfmpegRescaler.h"
#include "codecs/FfmpegCodecCodes.h"
#include "io/FfmpegLargeTables.h"
#include "timing/FfmpegTimeScale.h"

extern "C" {
#include <libavutil/imgutils.h>
}

#include <algorithm>
#include <limits>
#include <string>

namespace QelRuntime {

namespace {

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

// The palette that the file at path gives the first picture of stream
// streamIndex, read through a demuxer of its own: FFmpeg's demuxers hand it
// out once, with the first packet of the stream they read, which the
// movie's own probing takes. Empty where the stream has none.
std::vector<uint8_t> firstPalette(const std::string& path, int streamIndex)
{
    FormatContextPtr format = openFormatHeader(path.c_str());
    if (!format || streamIndex < 0 || unsigned(streamIndex) >= format->nb_streams)
        return {};
    for (unsigned i = 0; i < format->nb_streams; ++i)
        format->streams[i]->discard = int(i) == streamIndex ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    PacketPtr packet = makePacket();
    while (av_read_frame(format.get(), packet.get()) >= 0) {
        if (packet->stream_index != streamIndex) {
            av_packet_unref(packet.get());
            continue;
        }
        size_t size = 0;
        const uint8_t* palette = av_packet_get_side_data(packet.get(), AV_PKT_DATA_PALETTE, &size);
        return palette ? std::vector<uint8_t>(palette, palette + size) : std::vector<uint8_t>();
    }
    return {};
}

// Whether FFmpeg's index held entries once the header was read.
bool indexedByHeader(const AVFormatContext* format)
{
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        if (avformat_index_get_entries_count(format->streams[i]) > 0)
            return true;
    }
    return false;
}

} // namespace

class FfmpegMovieBuilder {
public:
    FfmpegMovieBuilder(FfmpegMovie& movie, AVFormatContext* format, bool headerIndexed)
        : movie_(movie), format_(format), headerIndexed_(headerIndexed)
    {
    }

    bool build()
    {
        ordered_ = orderedStreamPackets(format_, movie_.container_, movie_.path_, headerIndexed_);
        // A stream that the demuxer found only while the packets were read
        // (an MPEG transport stream joined from pieces) has none ordered and
        // is not one of the tracks.
        for (unsigned i = 0; i < ordered_.size(); ++i)
            addTrack(format_->streams[i]);
        if (movie_.tracks_.empty())
            return false;
        placeOrigin();
        const double length = lengthSeconds();
        const int32_t common = commonVideoScale(videoBases(), length);
        movie_.timeScale_ = resolvingMilliseconds(
            common ? common : scaleBeyondVideoBases(videoTimings(), length, firstSoundRate()), length);
        int64_t duration = 0;
        std::vector<std::vector<SampleEntry>> sampleTables;
        for (FfmpegTrack& track : movie_.tracks_) {
            sampleTables.push_back(sampleTableOf(track));
            duration = std::max(duration, track.duration);
        }
        movie_.duration_ = int32_t(std::min<int64_t>(duration, std::numeric_limits<int32_t>::max()));
        if (const AVDictionaryEntry* title = av_dict_get(format_->metadata, "title", nullptr, 0))
            movie_.title_ = title->value;
        movie_.contentType_ = contentTypeOf(format_);
        movie_.model_ = modelOf(movie_, std::move(sampleTables));
        return true;
    }

private:
    void addTrack(const AVStream* stream)
    {
        const unsigned index = unsigned(stream->index);
        if (ordered_[index].positions.empty())
            return;
        FfmpegTrack track;
        track.mediaType = mediaTypeOf(stream, movie_.container_.isMpegSystemStream);
        track.streamIndex = stream->index;
        track.enabled = !movie_.container_.marksTracksEnabled || (stream->disposition & AV_DISPOSITION_DEFAULT) != 0;
        track.timeBase = {stream->time_base.num, stream->time_base.den};
        track.parameters = copyCodecParameters(stream->codecpar);
        if (isPicture(track.mediaType)) {
            describeVideo(stream, track);
            if (stream->codecpar->format == AV_PIX_FMT_PAL8)
                track.palette = firstPalette(movie_.path_, stream->index);
            track.timedByOutputOrder = timedByOutputOrder(movie_.container_, stream);
            track.syncAtRecoveryPoints = ordersByPictureCounts(movie_.container_, stream);
            for (const FfmpegSamplePosition& position : ordered_[index].positions)
                track.shownAheadOfDecoding = std::max(track.shownAheadOfDecoding, position.dts - position.pts);
        }
        else if (track.mediaType == kSoundMediaType) {
            describeSound(stream, track);
            track.decodedStart = ordered_[index].soundStart;
        }
        if (track.descriptionDataSize != 0 && movie_.container_.headerDescribesStreams)
            placeSampleBytes(track, format_->streams[index], ordered_[index].positions);
        movie_.tracks_.push_back(std::move(track));
    }

    // A QuickTime or MP4 demuxer hands out a sample as the bytes at its index
    // entry. Uncompressed pictures are shown in the order they are stored,
    // which the decoding times confirm entry by entry.
    static void placeSampleBytes(FfmpegTrack& track, AVStream* stream, const std::vector<FfmpegSamplePosition>& shown)
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

    const OrderedPackets& packetsOf(const FfmpegTrack& track) const { return ordered_[size_t(track.streamIndex)]; }

    // The earliest start of any picture or sound track: sound that begins
    // before the first picture is kept, and a track that begins later
    // begins later in the movie.
    void placeOrigin()
    {
        bool found = false;
        for (const FfmpegTrack& track : movie_.tracks_) {
            if (!isPicture(track.mediaType) && track.mediaType != kSoundMediaType)
                continue;
            const int64_t first = startOf(track);
            if (!found ||
                av_compare_ts(first, toAv(track.timeBase), movie_.originValue_, toAv(movie_.originBase_)) < 0) {
                movie_.originValue_ = first;
                movie_.originBase_ = track.timeBase;
                found = true;
            }
        }
    }

    // A track's first presentation time. Sound starts where its first
    // decoded frame does where its packets were read; otherwise, where its
    // first packets are priming (trimmed by an edit list), where the demuxer
    // says it does.
    int64_t startOf(const FfmpegTrack& track) const
    {
        const int64_t first = packetsOf(track).positions.front().pts;
        if (track.mediaType != kSoundMediaType)
            return first;
        if (track.decodedStart)
            return track.decodedStart->pts;
        const int64_t declared = format_->streams[track.streamIndex]->start_time;
        return declared != AV_NOPTS_VALUE && declared > first ? declared : first;
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
            const OrderedPackets& packets = packetsOf(track);
            reserveLargeTable(timing.ticks, 2 * packets.positions.size());
            for (size_t i = 0; i < packets.positions.size(); ++i) {
                timing.ticks.push_back(packets.positions[i].pts - origin);
                timing.ticks.push_back(packets.durationOf(i));
            }
            timings.push_back(std::move(timing));
        }
        return timings;
    }

    double lengthSeconds() const
    {
        double length = 0;
        for (const FfmpegTrack& track : movie_.tracks_) {
            const OrderedPackets& packets = packetsOf(track);
            const int64_t end = packets.positions.back().pts + packets.lastDuration - movie_.originIn(track.timeBase);
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

    // The track's sample table for the model: its samples' times in movie
    // units. The positions and sync marks pass to the track as they are.
    std::vector<SampleEntry> sampleTableOf(FfmpegTrack& track)
    {
        const FfmpegRescaler toMovieUnits(toAv(track.timeBase), {1, movie_.timeScale_});
        OrderedPackets& packets = ordered_[size_t(track.streamIndex)];
        const int64_t origin = movie_.originIn({1, movie_.timeScale_});
        std::vector<SampleEntry> samples;
        reserveLargeTable(samples, packets.positions.size());
        const std::vector<FfmpegSamplePosition>& positions = packets.positions;
        // Each sample ends where the next begins, so each presentation time
        // is converted once.
        int64_t start = toMovieUnits(positions.front().pts) - origin;
        int64_t lastEnd = 0;
        for (size_t i = 0; i < positions.size(); ++i) {
            const int64_t ending = i + 1 < positions.size()
                                       ? positions[i + 1].pts
                                       : positions[i].pts + std::max<int64_t>(packets.lastDuration, 0);
            const int64_t end = toMovieUnits(ending) - origin;
            // A track that starts after time 0 keeps its own start, as in
            // QuickTime, where no sync sample lies before a late picture
            // track's first.
            const int64_t time = std::max<int64_t>(start, 0);  // as FfmpegMovie::sampleAtTime() places it
            const int64_t duration = std::max<int64_t>(end - time, 1);
            SampleEntry& sample = samples.emplace_back();  // in place: see FfmpegLargeTables.h
            sample.time = modelTime(time);
            sample.duration = modelTime(duration);
            sample.sync = packets.sync[i];
            lastEnd = time + duration;
            start = end;
        }
        // A sound packet shorter than a unit of a video time scale keeps a
        // sample of one unit, but the sound ends where its last frame does.
        track.duration = track.mediaType == kSoundMediaType ? std::max<int64_t>(start, 0) : lastEnd;
        track.soundEnd = positions.back().pts + std::max<int64_t>(packets.lastDuration, 0);
        track.positions = std::move(packets.positions);
        track.packetSampleOffsets = std::move(packets.sampleOffsets);
        track.sync = std::move(packets.sync);
        return samples;
    }

    FfmpegMovie& movie_;
    AVFormatContext* format_;
    bool headerIndexed_;
    std::vector<OrderedPackets> ordered_;
};

// The container's traits are decided here, once, from the demuxer that
// opened the file (FfmpegContainers.h).
std::unique_ptr<FfmpegMovie> FfmpegMovie::open(const std::string& path)
{
    FormatContextPtr format = openFormatHeader(path.c_str());
    if (!format)
        return nullptr;
    const FfmpegContainerTraits container = containerTraitsOf(format.get());
    const bool headerIndexed = !container.indexAtFileEnd || indexedByHeader(format.get());
    if (avformat_find_stream_info(format.get(), nullptr) < 0)
        return nullptr;
    std::unique_ptr<FfmpegMovie> movie(new FfmpegMovie());
    movie->path_ = path;
    movie->container_ = container;
    if (!FfmpegMovieBuilder(*movie, format.get(), headerIndexed).build())
        return nullptr;
    if (container.headerDescribesStreams)
        movie->spareDemuxer_ = std::move(format);
    return movie;
}

} // namespace QelRuntime
