// The decoded pictures of one video track by presentation time, at most
// capBytes of them (their buffers), for a reader and at most one worker that
// decodes ahead of it: the group of pictures before the one being read
// backwards.
//
// The reader keeps pictures while no worker runs: when the cap is passed,
// reading backwards drops the pictures after the request first (served
// already), then the earliest; otherwise the ones farthest from the request
// go first. The worker never pushes out a picture still to be served: it
// makes room by dropping pictures after the reader's latest request while
// reading backwards, and otherwise waits for the reader to serve more, or
// gives up when the reader waits for it.
#pragma once

#include "FfmpegLibraries.h"

#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>

namespace QelRuntime {

class FfmpegPictureCache {
public:
    explicit FfmpegPictureCache(size_t capBytes) : capBytes_(capBytes) {}

    size_t capBytes() const { return capBytes_; }

    // The reader asks for the picture at pts: whether that lies before its
    // previous request (reading backwards).
    bool request(int64_t pts);

    // The picture at pts; null when not kept. Valid until the reader's next
    // request: the worker drops only pictures after the latest one.
    const AVFrame* find(int64_t pts) const;
    // The latest picture at or before pts, not before first; null when none.
    const AVFrame* latestBetween(int64_t first, int64_t pts) const;

    // The reader's side, while no worker runs.
    void keep(int64_t pts, FramePtr picture);
    void forgetBefore(int64_t pts);

    // The worker's side: begun by the reader before the worker starts, ended
    // by the worker. keepAhead keeps a picture once there is room for it
    // (a picture already kept stays as it is); false, dropping it, when the
    // worker is to stop.
    void beginAhead();
    bool keepAhead(int64_t pts, FramePtr picture);
    void endAhead();

    // The reader waits until the worker has kept pts, or has ended: the
    // picture, or null. The worker gives up on room from then on.
    const AVFrame* awaitAhead(int64_t pts);
    // Whether the worker has ended; the reader may then join it.
    bool aheadEnded() const;
    // Tells the worker to stop at its next picture.
    void stopAhead();

private:
    const AVFrame* findLocked(int64_t pts) const;
    void insertLocked(int64_t pts, FramePtr picture);
    void dropLocked(std::map<int64_t, FramePtr>::iterator picture);
    bool makeRoomAheadLocked(size_t bytes);

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::map<int64_t, FramePtr> pictures_;  // by presentation time
    size_t bytes_ = 0;
    const size_t capBytes_;
    int64_t lastRequest_ = INT64_MIN;
    bool readingBackwards_ = false;  // the latest request lay before the one before
    bool aheadRunning_ = false;
    bool stopAhead_ = false;
    bool readerWaiting_ = false;
};

// The bytes of a picture's buffers.
size_t bytesOf(const AVFrame* picture);

} // namespace QelRuntime
