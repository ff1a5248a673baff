#include "FfmpegPacketReader.h"

#include <algorithm>
#include <cstdlib>
#include <new>

namespace QelRuntime {

namespace {

constexpr size_t kRecentPackets = 128;
constexpr size_t kRecentBytes = 32 * 1024 * 1024;
constexpr size_t kAheadPackets = 64;
constexpr size_t kAheadBytes = kRecentBytes / 2;
// How far before a sync sample to seek again, in seconds, when a demuxer that
// seeks by searching (MPEG) lands after it.
constexpr int kSeekBackoffSeconds[] = {0, 1, 4, 16};

int64_t presentationTime(const AVPacket* packet)
{
    return packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
}

// Packets of scanned tracks carry their sample's times once recognised.
bool isSample(const AVPacket* packet, const FfmpegSamplePosition& position)
{
    if (packet->pts != AV_NOPTS_VALUE)
        return packet->pts == position.pts;
    return packet->dts == position.dts;
}

bool isSamePacket(const AVPacket* a, const AVPacket* b)
{
    return a->pts == b->pts && a->dts == b->dts && a->pos == b->pos;
}

// Pictures of an indexed file whose demuxer times them late after a seek
// take the time of their index entry instead: the last entry at or before
// the packet's bytes.
bool timesPicturesByIndexEntry(const FfmpegContainerTraits& container, AVStream* stream)
{
    return container.timesPicturesByIndexEntry && stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
           avformat_index_get_entries_count(stream) > 0;
}

void timeByIndexEntry(AVStream* stream, AVPacket* packet)
{
    if (packet->pos < 0 || packet->dts == AV_NOPTS_VALUE)
        return;
    int after = 0, count = avformat_index_get_entries_count(stream);
    while (after < count) {
        const int middle = after + (count - after) / 2;
        if (avformat_index_get_entry(stream, middle)->pos <= packet->pos)
            after = middle + 1;
        else
            count = middle;
    }
    if (after == 0)
        return;
    const int64_t dts = avformat_index_get_entry(stream, after - 1)->timestamp;
    if (packet->pts != AV_NOPTS_VALUE)
        packet->pts += dts - packet->dts;
    packet->dts = dts;
}

// The movie's open has already probed the streams, which decodes a few
// frames of each. Where the header describes every stream, the first reader
// takes over the movie's own demuxer, and later readers need only the header
// and the movie's probed parameters of their stream; elsewhere (streams found
// while reading, parameters that only probing fills in) a reader probes for
// itself.
FormatContextPtr openForTrack(const FfmpegMovie& movie, const FfmpegTrack& track)
{
    if (FormatContextPtr demuxer = movie.takeDemuxer())
        return demuxer;
    FormatContextPtr format = openFormatHeader(movie.path().c_str());
    if (!format)
        return nullptr;
    if (movie.container().headerDescribesStreams && track.parameters &&
        unsigned(track.streamIndex) < format->nb_streams) {
        AVCodecParameters* own = format->streams[track.streamIndex]->codecpar;
        if (own->codec_id == track.parameters->codec_id) {
            if (avcodec_parameters_copy(own, track.parameters.get()) < 0)
                throw std::bad_alloc();
            return format;
        }
    }
    if (avformat_find_stream_info(format.get(), nullptr) < 0)
        return nullptr;
    return format;
}

} // namespace

std::unique_ptr<FfmpegPacketReader> FfmpegPacketReader::open(const FfmpegMovie& movie, size_t trackIndex)
{
    if (trackIndex >= movie.tracks().size())
        return nullptr;
    FormatContextPtr format = openForTrack(movie, movie.tracks()[trackIndex]);
    const int streamIndex = movie.tracks()[trackIndex].streamIndex;
    if (!format || unsigned(streamIndex) >= format->nb_streams)
        return nullptr;
    for (unsigned i = 0; i < format->nb_streams; ++i)
        format->streams[i]->discard = int(i) == streamIndex ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    return std::unique_ptr<FfmpegPacketReader>(new FfmpegPacketReader(movie, trackIndex, std::move(format)));
}

FfmpegPacketReader::FfmpegPacketReader(const FfmpegMovie& movie, size_t trackIndex, FormatContextPtr format)
    : track_(movie.tracks()[trackIndex]), container_(movie.container()), format_(std::move(format)),
      recognition_(track_),
      timesByIndexEntry_(!recognition_.active() &&
                         timesPicturesByIndexEntry(container_, format_->streams[track_.streamIndex]))
{
}

bool FfmpegPacketReader::readFromFile(AVPacket* packet)
{
    av_packet_unref(packet);
    while (av_read_frame(format_.get(), packet) >= 0) {
        if (packet->stream_index == track_.streamIndex && (!recognition_.active() || recognition_.recognise(packet))) {
            if (timesByIndexEntry_)
                timeByIndexEntry(format_->streams[track_.streamIndex], packet);
            lastReadDts_ = packet->dts != AV_NOPTS_VALUE ? packet->dts : presentationTime(packet);
            if (remembersEveryPacket_)
                remember(packet);
            return true;
        }
        av_packet_unref(packet);
    }
    return false;
}

bool FfmpegPacketReader::readPacket(AVPacket* packet)
{
    if (pending_ && pending_->data) {
        av_packet_unref(packet);
        av_packet_move_ref(packet, pending_.get());
        return true;
    }
    if (!ahead_.empty()) {
        av_packet_unref(packet);
        av_packet_move_ref(packet, ahead_.front().get());
        ahead_.pop_front();
        return true;
    }
    return readFromFile(packet);
}

bool FfmpegPacketReader::seekBefore(int64_t dts, int64_t backoff)
{
    ahead_.clear();
    recognition_.restart(dts);
    if (backoff != INT64_MAX &&
        av_seek_frame(format_.get(), track_.streamIndex, dts - backoff, AVSEEK_FLAG_BACKWARD) >= 0)
        return true;
    return seekToStart();
}

// As the container rewinds (FfmpegContainers.cpp gives each one's reason),
// and from byte 0 when its own way fails.
bool FfmpegPacketReader::seekToStart()
{
    AVStream* stream = format_->streams[track_.streamIndex];
    if (container_.rewind == FfmpegRewind::ToFirstIndexEntry && avformat_index_get_entries_count(stream) > 0 &&
        av_seek_frame(format_.get(), track_.streamIndex, avformat_index_get_entry(stream, 0)->timestamp,
                      AVSEEK_FLAG_BACKWARD) >= 0)
        return true;
    if (container_.rewind == FfmpegRewind::ToFirstSampleTime && !track_.positions.empty() &&
        av_seek_frame(format_.get(), track_.streamIndex, track_.positions.front().dts, AVSEEK_FLAG_BACKWARD) >= 0)
        return true;
    return av_seek_frame(format_.get(), track_.streamIndex, 0, AVSEEK_FLAG_BYTE) >= 0 ||
           avformat_seek_file(format_.get(), -1, INT64_MIN, INT64_MIN, INT64_MAX, 0) >= 0;
}

bool FfmpegPacketReader::seekToSync(size_t syncIndex)
{
    if (syncIndex >= track_.positions.size())
        return false;
    const FfmpegSamplePosition& sync = track_.positions[syncIndex];
    const AVRational timeBase = stream()->time_base;
    if (!pending_)
        pending_ = makePacket();
    for (size_t attempt = 0; attempt <= std::size(kSeekBackoffSeconds); ++attempt) {
        const int64_t backoff = attempt < std::size(kSeekBackoffSeconds)
                                    ? av_rescale_q(kSeekBackoffSeconds[attempt], {1, 1}, timeBase)
                                    : INT64_MAX;
        // The last attempt starts from the file's first sync packet.
        const bool anywhere = backoff == INT64_MAX;
        if (!seekBefore(sync.dts, backoff) || !landOnSyncPacket(sync.pts, anywhere))
            continue;
        // A seek may land on an earlier sync packet than the one asked for
        // (the QuickTime demuxer takes the target as a presentation time):
        // reading on to the packet itself costs far less than decoding the
        // groups in between. Where it is not found ahead, the reader starts
        // where the seek landed.
        if (!isSample(pending_.get(), sync) && !skipAheadTo(sync) &&
            !(seekBefore(sync.dts, backoff) && landOnSyncPacket(sync.pts, anywhere)))
            continue;
        lastSync_ = syncIndex;
        return true;
    }
    return false;
}

bool FfmpegPacketReader::landOnSyncPacket(int64_t pts, bool anywhere)
{
    while (readFromFile(pending_.get())) {
        if (!(pending_->flags & AV_PKT_FLAG_KEY))
            continue;
        if (presentationTime(pending_.get()) <= pts || anywhere)
            return true;
        break;
    }
    av_packet_unref(pending_.get());
    return false;
}

bool FfmpegPacketReader::skipAheadTo(const FfmpegSamplePosition& sync)
{
    PacketPtr ahead = makePacket();
    while (readFromFile(ahead.get())) {
        if (isSample(ahead.get(), sync)) {
            if (!(ahead->flags & AV_PKT_FLAG_KEY))
                return false;
            av_packet_unref(pending_.get());
            av_packet_move_ref(pending_.get(), ahead.get());
            return true;
        }
        if (liesBehind(sync, ahead.get()))
            return false;
    }
    return false;
}

bool FfmpegPacketReader::rewind()
{
    if (pending_)
        av_packet_unref(pending_.get());
    ahead_.clear();
    lastSync_ = SIZE_MAX;
    lastReadDts_ = INT64_MIN;
    return seekBefore(track_.positions.empty() ? 0 : track_.positions.front().dts, INT64_MAX);
}

// A sample is decoded no later than it is shown, or than the track shows
// samples ahead of their decoding: past a packet decoded later, the sample
// lies behind the reader.
bool FfmpegPacketReader::liesBehind(const FfmpegSamplePosition& position, const AVPacket* read) const
{
    return read->dts != AV_NOPTS_VALUE && read->dts > position.pts + track_.shownAheadOfDecoding;
}

void FfmpegPacketReader::remember(const AVPacket* packet)
{
    for (const PacketPtr& known : recent_) {
        if (isSamePacket(known.get(), packet))
            return;
    }
    PacketPtr copy = makePacket();
    if (av_packet_ref(copy.get(), packet) < 0)
        return;
    recentBytes_ += size_t(copy->size);
    recent_.push_back(std::move(copy));
    while (recent_.size() > kRecentPackets || (recentBytes_ > kRecentBytes && recent_.size() > 1)) {
        recentBytes_ -= size_t(recent_.front()->size);
        recent_.pop_front();
    }
}

bool FfmpegPacketReader::takeRecent(const FfmpegSamplePosition& position, AVPacket* packet)
{
    for (const PacketPtr& known : recent_) {
        if (isSample(known.get(), position)) {
            av_packet_unref(packet);
            return av_packet_ref(packet, known.get()) >= 0;
        }
    }
    return false;
}

bool FfmpegPacketReader::readForwardTo(const FfmpegSamplePosition& position, AVPacket* packet)
{
    while (readPacket(packet)) {
        remember(packet);
        if (isSample(packet, position))
            return true;
        if (liesBehind(position, packet))
            return false;
    }
    return false;
}

bool FfmpegPacketReader::readSample(size_t index, AVPacket* packet)
{
    if (index >= track_.positions.size())
        return false;
    const FfmpegSamplePosition& position = track_.positions[index];
    if (takeRecent(position, packet))
        return true;
    const size_t sync = track_.syncSampleBefore(index);
    const bool withinReach = sync == lastSync_ && lastReadDts_ <= position.pts;
    if (withinReach && readForwardTo(position, packet))
        return true;
    if (!seekToSync(sync))
        return false;
    return readForwardTo(position, packet);
}

bool FfmpegPacketReader::recentSample(size_t index, AVPacket* packet)
{
    return index < track_.positions.size() && takeRecent(track_.positions[index], packet);
}

bool FfmpegPacketReader::readAheadTo(size_t index, AVPacket* packet)
{
    if (index >= track_.positions.size())
        return false;
    const FfmpegSamplePosition& position = track_.positions[index];
    const auto give = [packet](const AVPacket* found) {
        av_packet_unref(packet);
        return av_packet_ref(packet, found) >= 0;
    };
    if (pending_ && pending_->data && isSample(pending_.get(), position))
        return give(pending_.get());
    size_t aheadBytes = 0;
    for (const PacketPtr& read : ahead_) {
        if (isSample(read.get(), position))
            return give(read.get());
        aheadBytes += size_t(read->size);
    }
    while (ahead_.size() < kAheadPackets && aheadBytes < kAheadBytes) {
        PacketPtr read = makePacket();
        if (!readFromFile(read.get()))
            return false;
        aheadBytes += size_t(read->size);
        ahead_.push_back(std::move(read));
        const AVPacket* last = ahead_.back().get();
        if (isSample(last, position))
            return give(last);
        if (liesBehind(position, last))
            return false;
    }
    return false;
}

} // namespace QelRuntime
