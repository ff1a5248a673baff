// Decodes the picture of any sample of one video track, in whatever order
// the samples are asked for, and converts it into a surface. One thread at a
// time; must not outlive the movie.
//
// Forward reading continues the current decoding run, so each packet is
// decoded once (the decoder reorders pictures itself and may use frame
// threads). A request behind the run, or past a later sync sample, starts a
// new run at the request's sync sample.
//
// Backward reading: every picture decoded on the way to a request is kept in
// a cache (FfmpegPictureCache.h) of at most cacheBytes, so that stepping
// back through a group of pictures decodes it once and serves it from the
// cache, one picture per step on average, like forward reading. While the
// reader is served a group from the cache, a worker thread decodes the
// groups before it, one after another, into the cache's free room and into
// the room the served pictures leave, so that a player reading backwards
// against a clock finds each group's last picture ready when it is due.
// Only groups that fit the cache whole are decoded ahead; a request the
// worker is not about to answer stops it first, so the decoder is only ever
// driven by one thread.
// A group longer than the cache is served in segments: each run from the
// sync sample keeps the last cache-full of pictures before the request,
// which costs about (group length / (2 x pictures the cache holds)) decodes
// per step. Such a run of H.264 or HEVC decodes only the reference pictures
// before the ones it keeps: the pictures it keeps come out the same, and the
// others are not needed (with B-frames, about half of them, and the cheaper
// half). A request that continues the run forwards drops every cached
// picture before it: reading forwards never asks for them again, and keeping
// them would hold up to cacheBytes of pictures (and of the decoder's
// buffers) for nothing.
#pragma once

#include "FfmpegLibraries.h"
#include "FfmpegMovie.h"
#include "FfmpegPacketReader.h"
#include "FfmpegPictureCache.h"
#include "FfmpegPictureConverter.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

namespace QelRuntime {

class FfmpegPictureDecoder {
public:
    // 86 decoded 1080p pictures: a group of 60 of them with room to spare.
    static constexpr size_t kDefaultCacheBytes = 256 * 1024 * 1024;

    // The cache's size as the environment variable QEL_BACKWARD_CACHE_MIB
    // gives it, a whole number of MiB from 1 to 2048 (more backward speed on
    // long groups for more memory); the default when it is not set, or when
    // it is not such a number, which is told on standard error.
    static size_t cacheBytesFromEnvironment();
    static size_t cacheBytesFrom(const char* mebibytes);

    // Null with status kFfmpegNoCodec when no decoder handles the track's
    // codec, kFfmpegCodecError when its decoder refuses the track (both told
    // on standard error, FfmpegDecoderRefusal.h), kFfmpegBadData when the
    // file cannot be read again.
    static std::unique_ptr<FfmpegPictureDecoder> open(const FfmpegMovie& movie, size_t trackIndex,
                                                      QtStatus& status, size_t cacheBytes = kDefaultCacheBytes);
    ~FfmpegPictureDecoder();
    FfmpegPictureDecoder(const FfmpegPictureDecoder&) = delete;
    FfmpegPictureDecoder& operator=(const FfmpegPictureDecoder&) = delete;

    // The decoded picture of sample index, owned by the decoder and valid
    // until the next call. Where the sample's own picture cannot be found
    // (a damaged run), the nearest earlier one of its group of pictures;
    // null when none.
    const AVFrame* picture(size_t index);

    // picture(index) converted into surface: 0, or a QuickTime status.
    QtStatus decodeInto(size_t index, const FfmpegSurface& surface);

    // The compressed bytes of sample index into packet, read by the
    // decoder's own reader: from the packets read lately, by reading on in
    // the current run, or by starting the run that decoding the sample
    // would start anyway. One demuxer thus serves both the sample's bytes
    // and its picture, and each packet is read once. False when the sample
    // cannot be reached that way (a group of pictures longer than the
    // reader reads ahead, or a sample read long before while the decoder
    // decodes a group ahead); the caller then reads it elsewhere.
    bool sampleBytes(size_t index, AVPacket* packet);

private:
    FfmpegPictureDecoder(std::unique_ptr<FfmpegPacketReader> reader, CodecContextPtr codec, size_t cacheBytes);

    const AVFrame* decodeHere(size_t index, int64_t pts);
    const AVFrame* awaitOrStopAhead(size_t index, int64_t pts);
    void decodeAheadOf(size_t index);
    void decodeAhead(size_t first, size_t last);
    int64_t lastShownOf(size_t first, size_t last) const;
    bool decodedAhead(size_t index) const;
    size_t picturesHeld() const;
    bool fitsCache(size_t first, size_t last) const;
    void joinEndedAhead();
    void stopAhead();
    bool continuesRun(size_t index) const;
    bool startRun(size_t syncIndex, int64_t keepFrom = INT64_MIN);
    int64_t firstKeptBy(size_t index, size_t syncIndex) const;
    const AVFrame* decodeUntil(int64_t pts);
    int64_t nextSampleTime() const;
    bool feedDecoder();
    bool readPacket();
    bool recentSample(size_t index, AVPacket* packet);
    void givePalette(AVPacket* packet);
    bool keep(int64_t pts, FramePtr picture);

    std::unique_ptr<FfmpegPacketReader> reader_;
    CodecContextPtr codec_;
    FfmpegPictureConverter converter_;
    PacketPtr packet_;

    // The current run: started at sync sample runSync_; lastOutput_ is the
    // presentation time of the latest picture it produced; drained_ once the
    // decoder has given out everything; paletteGiven_ once its first packet
    // has gone to the decoder.
    bool runActive_ = false;
    size_t runSync_ = 0;
    int64_t lastOutput_ = INT64_MIN;
    bool drained_ = false;
    bool paletteGiven_ = false;
    // The run keeps the pictures shown from keepFrom_ on; of those before,
    // it decodes only the references. skippedPictures_ once it has left
    // any out.
    int64_t keepFrom_ = INT64_MIN;
    bool skippedPictures_ = false;

    FfmpegPictureCache cache_;
    size_t pictureBytes_ = 0;  // of the latest picture decoded; 0 before the first

    // The worker decoding groups of pictures ahead of the reader, the one
    // of samples aheadFirst_ on (moved back by the worker) to aheadLast_ and
    // those before; the decoder's run is its own while it runs. aheadTried_:
    // the sync sample of the group it last took on, not taken on again until
    // the reader decodes a picture itself.
    std::thread ahead_;
    // Held by the thread driving the decoder while it moves the reader, and
    // by the reader's thread looking up the packets read lately.
    std::mutex readerLock_;
    bool fillingAhead_ = false;  // read by the thread driving the decoder
    std::atomic<size_t> aheadFirst_{0};
    size_t aheadLast_ = 0;
    size_t aheadTried_ = SIZE_MAX;
    size_t lastIndex_ = SIZE_MAX;  // the sample of the latest request
};

} // namespace QelRuntime
