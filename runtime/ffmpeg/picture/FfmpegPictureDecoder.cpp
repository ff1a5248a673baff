#include "FfmpegPictureDecoder.h"

#include "FfmpegDecoderRefusal.h"
#include "FfmpegStatus.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace QelRuntime {

namespace {

// Damaged packets are skipped; a run that meets this many in a row gives up.
constexpr int kDamagedPacketsInARow = 32;

int64_t presentationTime(const AVFrame* picture)
{
    return picture->best_effort_timestamp != AV_NOPTS_VALUE ? picture->best_effort_timestamp : picture->pts;
}

size_t bytesOf(const AVFrame* picture)
{
    size_t bytes = 0;
    for (const AVBufferRef* buffer : picture->buf) {
        if (buffer)
            bytes += buffer->size;
    }
    return bytes;
}

// 2 GiB: no more fits beside the pictures in a 32-bit process.
constexpr unsigned long kLargestCacheMebibytes = 2048;

} // namespace

size_t FfmpegPictureDecoder::cacheBytesFromEnvironment()
{
    return cacheBytesFrom(std::getenv("QEL_BACKWARD_CACHE_MIB"));
}

size_t FfmpegPictureDecoder::cacheBytesFrom(const char* mebibytes)
{
    if (!mebibytes)
        return kDefaultCacheBytes;
    char* end = nullptr;
    const unsigned long value = std::strtoul(mebibytes, &end, 10);
    const bool whole = end != mebibytes && *end == '\0' && std::strchr(mebibytes, '-') == nullptr;
    if (!whole || value == 0 || value > kLargestCacheMebibytes) {
        std::fprintf(stderr, "QuickTime.qts: QEL_BACKWARD_CACHE_MIB: \"%s\" is not a number of MiB from 1 to %lu\n",
                     mebibytes, kLargestCacheMebibytes);
        return kDefaultCacheBytes;
    }
    return size_t(value) << 20;
}

std::unique_ptr<FfmpegPictureDecoder> FfmpegPictureDecoder::open(const FfmpegMovie& movie, size_t trackIndex,
                                                                 QtStatus& status, size_t cacheBytes)
{
    std::unique_ptr<FfmpegPacketReader> reader = FfmpegPacketReader::open(movie, trackIndex);
    if (!reader) {
        status = kFfmpegBadData;
        return nullptr;
    }
    CodecContextPtr codec = openDecoder(reader->stream(), true, reader->track().syncAtRecoveryPoints);
    if (!codec) {
        status = refuseUndecodableTrack(movie, trackIndex, reader->stream());
        return nullptr;
    }
    status = 0;
    return std::unique_ptr<FfmpegPictureDecoder>(
        new FfmpegPictureDecoder(std::move(reader), std::move(codec), cacheBytes));
}

FfmpegPictureDecoder::FfmpegPictureDecoder(std::unique_ptr<FfmpegPacketReader> reader, CodecContextPtr codec,
                                           size_t cacheBytes)
    : reader_(std::move(reader)), codec_(std::move(codec)), packet_(makePacket()), cacheBytes_(cacheBytes)
{
    reader_->rememberEveryPacket();
}

bool FfmpegPictureDecoder::sampleBytes(size_t index, AVPacket* packet)
{
    const FfmpegTrack& track = reader_->track();
    if (index >= track.positions.size())
        return false;
    if (reader_->recentSample(index, packet))
        return true;
    if (runActive_ && !drained_ && reader_->readAheadTo(index, packet))
        return true;
    return startRun(track.syncSampleBefore(index)) && reader_->readAheadTo(index, packet);
}

QtStatus FfmpegPictureDecoder::decodeInto(size_t index, const FfmpegSurface& surface)
{
    if (!FfmpegPictureConverter::supports(surface.pixelFormat))
        return kFfmpegUnsupportedDepth;
    const AVFrame* decoded = picture(index);
    if (!decoded)
        return kFfmpegBadData;
    return converter_.convert(decoded, surface) ? 0 : kFfmpegCodecError;
}

const AVFrame* FfmpegPictureDecoder::picture(size_t index)
{
    const FfmpegTrack& track = reader_->track();
    if (index >= track.positions.size())
        return nullptr;
    const int64_t pts = track.positions[index].pts;
    readingBackwards_ = pts < lastRequest_;
    lastRequest_ = pts;
    if (const AVFrame* known = cached(pts))
        return known;
    const size_t sync = track.syncSampleBefore(index);
    const int64_t groupStart = track.positions[sync].pts;
    const bool continuing = continuesRun(index);
    if (!continuing && !startRun(sync, firstKeptBy(index, sync)))
        return nearestCachedBetween(groupStart, pts);
    // A run that has shown pictures before this request is read forwards.
    const bool forwards = continuing && lastOutput_ != INT64_MIN;
    const AVFrame* decoded = decodeUntil(pts);
    // Should a stream's pictures not come out alike without the skipped
    // ones (a decoder that learns its reordering from the pictures it
    // sees), the run is made again in full.
    if (!decoded && skippedPictures_ && startRun(sync))
        decoded = decodeUntil(pts);
    if (decoded) {
        if (forwards)
            forgetBefore(pts);
        return decoded;
    }
    return nearestCachedBetween(groupStart, pts);
}

// The earliest presentation time worth keeping in a run to sample index:
// the cache-full of pictures before it, where that is less than the way
// from the sync sample; INT64_MIN to keep everything. Only the decoders
// known to decode each packet when it is sent and to skip exactly the
// pictures no other refers to are asked to skip: H.264's and HEVC's.
int64_t FfmpegPictureDecoder::firstKeptBy(size_t index, size_t syncIndex) const
{
    const FfmpegTrack& track = reader_->track();
    const AVCodecID codec = codec_->codec_id;
    if ((codec != AV_CODEC_ID_H264 && codec != AV_CODEC_ID_HEVC) || track.timedByOutputOrder ||
        track.syncAtRecoveryPoints || pictureBytes_ == 0)
        return INT64_MIN;
    const size_t picturesHeld = cacheBytes_ / pictureBytes_;
    if (picturesHeld == 0 || index - syncIndex < picturesHeld)
        return INT64_MIN;
    return track.positions[index - (picturesHeld - 1)].pts;
}

void FfmpegPictureDecoder::forgetBefore(int64_t pts)
{
    const auto end = pictures_.lower_bound(pts);
    for (auto picture = pictures_.begin(); picture != end; ++picture)
        cachedBytes_ -= bytesOf(picture->second.get());
    pictures_.erase(pictures_.begin(), end);
}

bool FfmpegPictureDecoder::continuesRun(size_t index) const
{
    const FfmpegTrack& track = reader_->track();
    if (!runActive_ || drained_ || track.positions[index].pts <= lastOutput_)
        return false;
    // Reading on in order: the run has shown every picture before this one,
    // so its next picture is the one wanted. Starting again at the sync
    // sample would throw away the pictures already in the decoder's threads.
    if (index > 0 && track.positions[index - 1].pts <= lastOutput_)
        return true;
    // Past a later sync sample, starting there decodes less.
    const size_t sync = track.syncSampleBefore(index);
    return sync == runSync_ || track.positions[sync].pts <= lastOutput_;
}

bool FfmpegPictureDecoder::startRun(size_t syncIndex, int64_t keepFrom)
{
    avcodec_flush_buffers(codec_.get());
    runActive_ = reader_->seekToSync(syncIndex);
    runSync_ = syncIndex;
    lastOutput_ = INT64_MIN;
    drained_ = false;
    paletteGiven_ = false;
    keepFrom_ = keepFrom;
    skippedPictures_ = false;
    return runActive_;
}

// The track's palette goes with the first packet of every run, unless the
// packet brings one of its own: the demuxer gave it out once, at the open.
void FfmpegPictureDecoder::givePalette(AVPacket* packet)
{
    const std::vector<uint8_t>& palette = reader_->track().palette;
    if (paletteGiven_ || palette.empty())
        return;
    paletteGiven_ = true;
    if (av_packet_get_side_data(packet, AV_PKT_DATA_PALETTE, nullptr))
        return;
    uint8_t* data = av_packet_new_side_data(packet, AV_PKT_DATA_PALETTE, palette.size());
    if (!data)
        throw std::bad_alloc();
    std::copy(palette.begin(), palette.end(), data);
}

bool FfmpegPictureDecoder::feedDecoder()
{
    for (int damaged = 0; damaged < kDamagedPacketsInARow; ++damaged) {
        if (!reader_->readPacket(packet_.get())) {
            // End of the track: let the decoder give out what it holds.
            avcodec_send_packet(codec_.get(), nullptr);
            return true;
        }
        givePalette(packet_.get());
        // Read by the decoder as the packet is sent (and handed to its threads).
        const bool skippable = packet_->pts != AV_NOPTS_VALUE && packet_->pts < keepFrom_;
        codec_->skip_frame = skippable ? AVDISCARD_NONREF : AVDISCARD_DEFAULT;
        skippedPictures_ = skippedPictures_ || skippable;
        const int sent = avcodec_send_packet(codec_.get(), packet_.get());
        av_packet_unref(packet_.get());
        if (sent >= 0 || sent == AVERROR(EAGAIN))
            return true;
    }
    return false;
}

const AVFrame* FfmpegPictureDecoder::decodeUntil(int64_t pts)
{
    FramePtr decoded = makeFrame();
    int damaged = 0;
    for (;;) {
        const int received = avcodec_receive_frame(codec_.get(), decoded.get());
        if (received == AVERROR(EAGAIN)) {
            if (!feedDecoder()) {
                runActive_ = false;
                return nullptr;
            }
            continue;
        }
        // Frame threads report a damaged packet (the last one of a file cut
        // short) when its picture is due; the pictures after it still come.
        if (received < 0 && received != AVERROR_EOF && ++damaged < kDamagedPacketsInARow)
            continue;
        if (received < 0) {
            drained_ = true;
            return nullptr;
        }
        if (reader_->track().timedByOutputOrder || presentationTime(decoded.get()) == AV_NOPTS_VALUE)
            decoded->best_effort_timestamp = nextSampleTime();
        const int64_t output = presentationTime(decoded.get());
        // The pictures of an open group shown before its key frame are
        // decoded after it, from references of the group before: a run
        // started at the key frame gives them out damaged, or not at all.
        // Their own run is the one of the sync sample before them.
        if (output < reader_->track().positions[runSync_].pts)
            continue;
        lastOutput_ = output;
        pictureBytes_ = bytesOf(decoded.get());
        // Pictures before the ones the run keeps would only push others out.
        if (output < keepFrom_)
            continue;
        cache(std::move(decoded), pts);
        if (output == pts)
            return cached(pts);
        if (output > pts)
            return nullptr;
        decoded = makeFrame();
    }
}

// Where the container stores no presentation times, decoders time the
// pictures they hold back by the packets that push them out, which frame
// threads and the end of the track upset. A run gives out its sync picture
// first, then the others in presentation order, so each picture takes the
// time of the sample after the last one given out.
int64_t FfmpegPictureDecoder::nextSampleTime() const
{
    const std::vector<FfmpegSamplePosition>& positions = reader_->track().positions;
    if (lastOutput_ == INT64_MIN)
        return positions[runSync_].pts;
    const auto next = std::upper_bound(positions.begin(), positions.end(), lastOutput_,
                                       [](int64_t time, const FfmpegSamplePosition& position) {
                                           return time < position.pts;
                                       });
    return next != positions.end() ? next->pts : lastOutput_ + 1;
}

void FfmpegPictureDecoder::cache(FramePtr picture, int64_t target)
{
    const int64_t pts = presentationTime(picture.get());
    auto existing = pictures_.find(pts);
    if (existing != pictures_.end()) {
        cachedBytes_ -= bytesOf(existing->second.get());
        pictures_.erase(existing);
    }
    cachedBytes_ += bytesOf(picture.get());
    pictures_.emplace(pts, std::move(picture));
    while (cachedBytes_ > cacheBytes_ && pictures_.size() > 1) {
        // Either end of the map: the pictures after the target when reading
        // backwards (served already), otherwise the farther one.
        auto first = pictures_.begin();
        auto last = std::prev(pictures_.end());
        const bool servedLast = readingBackwards_ && last->first > target;
        auto victim = servedLast || std::llabs(last->first - target) > std::llabs(target - first->first) ? last : first;
        cachedBytes_ -= bytesOf(victim->second.get());
        pictures_.erase(victim);
    }
}

const AVFrame* FfmpegPictureDecoder::cached(int64_t pts) const
{
    const auto found = pictures_.find(pts);
    return found == pictures_.end() ? nullptr : found->second.get();
}

const AVFrame* FfmpegPictureDecoder::nearestCachedBetween(int64_t first, int64_t pts) const
{
    auto after = pictures_.upper_bound(pts);
    if (after == pictures_.begin() || std::prev(after)->first < first)
        return nullptr;
    return std::prev(after)->second.get();
}

} // namespace QelRuntime
