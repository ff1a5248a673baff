#include "FfmpegPictureDecoder.h"

#include "FfmpegDecoderRefusal.h"
#include "FfmpegStatus.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <system_error>

namespace QelRuntime {

namespace {

// Damaged packets are skipped; a run that meets this many in a row gives up.
constexpr int kDamagedPacketsInARow = 32;

// A request at most this many samples before the one before steps back.
constexpr size_t kBackwardStepSamples = 16;

int64_t presentationTime(const AVFrame* picture)
{
    return picture->best_effort_timestamp != AV_NOPTS_VALUE ? picture->best_effort_timestamp : picture->pts;
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
    : reader_(std::move(reader)), codec_(std::move(codec)), packet_(makePacket()), cache_(cacheBytes)
{
    reader_->rememberEveryPacket();
}

FfmpegPictureDecoder::~FfmpegPictureDecoder()
{
    stopAhead();
}

bool FfmpegPictureDecoder::sampleBytes(size_t index, AVPacket* packet)
{
    const FfmpegTrack& track = reader_->track();
    if (index >= track.positions.size())
        return false;
    if (recentSample(index, packet))
        return true;
    joinEndedAhead();
    // The worker reads the packets of its group: once the sample's picture
    // is out, so is its packet. A sample it has not read (or read too long
    // ago) is left to the caller's own reader rather than stop it.
    if (ahead_.joinable() && decodedAhead(index) && awaitOrStopAhead(index, track.positions[index].pts) &&
        recentSample(index, packet))
        return true;
    if (ahead_.joinable())
        return false;
    if (runActive_ && !drained_ && reader_->readAheadTo(index, packet))
        return true;
    return startRun(track.syncSampleBefore(index)) && reader_->readAheadTo(index, packet);
}

bool FfmpegPictureDecoder::recentSample(size_t index, AVPacket* packet)
{
    std::lock_guard<std::mutex> lock(readerLock_);
    return reader_->recentSample(index, packet);
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
    const bool backwards = cache_.request(pts);
    // Stepping back, as a player does (skipping a few pictures to catch up
    // at most), rather than seeking backwards, where the group before is
    // seldom asked for next and decoding it would only hold up the seek
    // after.
    const bool steppingBack = backwards && lastIndex_ != SIZE_MAX &&
                              std::max(index, lastIndex_) - std::min(index, lastIndex_) <= kBackwardStepSamples;
    lastIndex_ = index;
    const AVFrame* found = cache_.find(pts);
    if (!found && ahead_.joinable())
        found = awaitOrStopAhead(index, pts);
    if (!found)
        found = decodeHere(index, pts);
    if (found && steppingBack)
        decodeAheadOf(index);
    return found;
}

// Decodes sample index on this thread, no worker running.
const AVFrame* FfmpegPictureDecoder::decodeHere(size_t index, int64_t pts)
{
    const FfmpegTrack& track = reader_->track();
    const size_t sync = track.syncSampleBefore(index);
    const int64_t groupStart = track.positions[sync].pts;
    const bool continuing = continuesRun(index);
    aheadTried_ = SIZE_MAX;
    if (!continuing && !startRun(sync, firstKeptBy(index, sync)))
        return cache_.latestBetween(groupStart, pts);
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
            cache_.forgetBefore(pts);
        return decoded;
    }
    return cache_.latestBetween(groupStart, pts);
}

// A picture of the group the worker decodes is awaited; any other request
// stops it. Either way, once the worker has ended, the decoder is this
// thread's again.
const AVFrame* FfmpegPictureDecoder::awaitOrStopAhead(size_t index, int64_t pts)
{
    const AVFrame* found = decodedAhead(index) ? cache_.awaitAhead(pts) : nullptr;
    if (!found || cache_.aheadEnded())
        stopAhead();
    return found;
}

// Reading backwards from sample index, with the decoder idle: the worker
// decodes the groups before index's, from the latest one the cache does
// not hold yet, each group that the cache holds whole.
void FfmpegPictureDecoder::decodeAheadOf(size_t index)
{
    joinEndedAhead();
    if (ahead_.joinable() || pictureBytes_ == 0)
        return;
    const FfmpegTrack& track = reader_->track();
    // The groups just before, decoded ahead already, are passed over: at
    // most a cache-full of pictures.
    size_t sync = track.syncSampleBefore(index);
    size_t first = 0;
    for (; sync > 0; sync = first) {
        first = track.syncSampleBefore(sync - 1);
        if (!cache_.find(lastShownOf(first, sync - 1)))
            break;
    }
    if (sync == 0 || first == aheadTried_ || !fitsCache(first, sync - 1))
        return;
    aheadFirst_ = first;
    aheadLast_ = sync - 1;
    aheadTried_ = first;
    cache_.beginAhead();
    try {
        ahead_ = std::thread(&FfmpegPictureDecoder::decodeAhead, this, first, sync - 1);
    } catch (const std::system_error&) {
        // No thread to be had: the reader decodes the group when it comes.
        cache_.endAhead();
    }
}

// Group after group backwards, from the group of samples first to last:
// while a group is served, more than the one before it may be due before
// the reader's lead runs out (groups of a few pictures, as an encoder
// places at a change of scene). The cache's room throttles the worker.
void FfmpegPictureDecoder::decodeAhead(size_t first, size_t last)
{
    const FfmpegTrack& track = reader_->track();
    fillingAhead_ = true;
    try {
        while (startRun(first) && decodeUntil(lastShownOf(first, last)) && first > 0) {
            last = first - 1;
            first = track.syncSampleBefore(last);
            if (!fitsCache(first, last))
                break;
            aheadFirst_ = first;
        }
    } catch (const std::exception&) {
        // Left to the reader, which meets the same failure when it decodes
        // the group itself.
    }
    fillingAhead_ = false;
    cache_.endAhead();
}

// The latest presentation time of the samples first to last.
int64_t FfmpegPictureDecoder::lastShownOf(size_t first, size_t last) const
{
    const std::vector<FfmpegSamplePosition>& positions = reader_->track().positions;
    int64_t latest = INT64_MIN;
    for (size_t sample = first; sample <= last; ++sample)
        latest = std::max(latest, positions[sample].pts);
    return latest;
}

// Whether sample index lies in the groups the worker decodes, from the one
// it is at to the first it took on.
bool FfmpegPictureDecoder::decodedAhead(size_t index) const
{
    return index >= aheadFirst_ && index <= aheadLast_;
}

// Pictures of the latest one's size that the cache holds.
size_t FfmpegPictureDecoder::picturesHeld() const
{
    return cache_.capBytes() / pictureBytes_;
}

// Whether the cache holds the pictures of samples first to last whole.
bool FfmpegPictureDecoder::fitsCache(size_t first, size_t last) const
{
    return last - first + 1 <= picturesHeld();
}

void FfmpegPictureDecoder::joinEndedAhead()
{
    if (ahead_.joinable() && cache_.aheadEnded())
        ahead_.join();
}

void FfmpegPictureDecoder::stopAhead()
{
    if (!ahead_.joinable())
        return;
    cache_.stopAhead();
    ahead_.join();
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
    const size_t held = picturesHeld();
    if (held == 0 || index - syncIndex < held)
        return INT64_MIN;
    return track.positions[index - (held - 1)].pts;
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
    {
        std::lock_guard<std::mutex> lock(readerLock_);
        runActive_ = reader_->seekToSync(syncIndex);
    }
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

bool FfmpegPictureDecoder::readPacket()
{
    std::lock_guard<std::mutex> lock(readerLock_);
    return reader_->readPacket(packet_.get());
}

bool FfmpegPictureDecoder::feedDecoder()
{
    for (int damaged = 0; damaged < kDamagedPacketsInARow; ++damaged) {
        if (!readPacket()) {
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
        if (!keep(output, std::move(decoded)))
            return nullptr;
        if (output == pts)
            return cache_.find(pts);
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

// A picture decoded by the worker waits for room; one decoded for the
// reader makes room. False when the worker is to stop.
bool FfmpegPictureDecoder::keep(int64_t pts, FramePtr picture)
{
    if (fillingAhead_)
        return cache_.keepAhead(pts, std::move(picture));
    cache_.keep(pts, std::move(picture));
    return true;
}

} // namespace QelRuntime
