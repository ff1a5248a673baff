#include "FfmpegPictureCache.h"

#include <cstdlib>
#include <iterator>

namespace QelRuntime {

size_t bytesOf(const AVFrame* picture)
{
    size_t bytes = 0;
    for (const AVBufferRef* buffer : picture->buf) {
        if (buffer)
            bytes += buffer->size;
    }
    return bytes;
}

bool FfmpegPictureCache::request(int64_t pts)
{
    std::lock_guard<std::mutex> lock(mutex_);
    readingBackwards_ = pts < lastRequest_;
    lastRequest_ = pts;
    // Served pictures may now make room for the worker.
    changed_.notify_all();
    return readingBackwards_;
}

const AVFrame* FfmpegPictureCache::find(int64_t pts) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return findLocked(pts);
}

const AVFrame* FfmpegPictureCache::findLocked(int64_t pts) const
{
    const auto found = pictures_.find(pts);
    return found == pictures_.end() ? nullptr : found->second.get();
}

const AVFrame* FfmpegPictureCache::latestBetween(int64_t first, int64_t pts) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    auto after = pictures_.upper_bound(pts);
    if (after == pictures_.begin() || std::prev(after)->first < first)
        return nullptr;
    return std::prev(after)->second.get();
}

void FfmpegPictureCache::keep(int64_t pts, FramePtr picture)
{
    std::lock_guard<std::mutex> lock(mutex_);
    auto existing = pictures_.find(pts);
    if (existing != pictures_.end())
        dropLocked(existing);
    insertLocked(pts, std::move(picture));
    while (bytes_ > capBytes_ && pictures_.size() > 1) {
        auto first = pictures_.begin();
        auto last = std::prev(pictures_.end());
        const bool servedLast = readingBackwards_ && last->first > lastRequest_;
        const bool lastFarther = std::llabs(last->first - lastRequest_) > std::llabs(lastRequest_ - first->first);
        dropLocked(servedLast || lastFarther ? last : first);
    }
}

void FfmpegPictureCache::forgetBefore(int64_t pts)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const auto end = pictures_.lower_bound(pts);
    for (auto picture = pictures_.begin(); picture != end; ++picture)
        bytes_ -= bytesOf(picture->second.get());
    pictures_.erase(pictures_.begin(), end);
}

void FfmpegPictureCache::beginAhead()
{
    std::lock_guard<std::mutex> lock(mutex_);
    aheadRunning_ = true;
    stopAhead_ = false;
    readerWaiting_ = false;
}

bool FfmpegPictureCache::keepAhead(int64_t pts, FramePtr picture)
{
    std::unique_lock<std::mutex> lock(mutex_);
    if (findLocked(pts))
        return !stopAhead_;
    const size_t bytes = bytesOf(picture.get());
    while (!stopAhead_ && !makeRoomAheadLocked(bytes)) {
        // Nothing the reader has served is left to drop. Were it waiting for
        // this worker, no room would ever come.
        if (readerWaiting_)
            return false;
        changed_.wait(lock);
    }
    if (stopAhead_)
        return false;
    insertLocked(pts, std::move(picture));
    changed_.notify_all();
    return true;
}

// Drops served pictures, the latest first, until bytes more fit: whether
// they do.
bool FfmpegPictureCache::makeRoomAheadLocked(size_t bytes)
{
    while (bytes_ + bytes > capBytes_ && !pictures_.empty()) {
        auto last = std::prev(pictures_.end());
        if (!readingBackwards_ || last->first <= lastRequest_)
            return false;
        dropLocked(last);
    }
    return bytes_ + bytes <= capBytes_ || pictures_.empty();
}

void FfmpegPictureCache::endAhead()
{
    std::lock_guard<std::mutex> lock(mutex_);
    aheadRunning_ = false;
    changed_.notify_all();
}

const AVFrame* FfmpegPictureCache::awaitAhead(int64_t pts)
{
    std::unique_lock<std::mutex> lock(mutex_);
    readerWaiting_ = true;
    changed_.notify_all();
    changed_.wait(lock, [&] { return findLocked(pts) || !aheadRunning_; });
    readerWaiting_ = false;
    return findLocked(pts);
}

bool FfmpegPictureCache::aheadEnded() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return !aheadRunning_;
}

void FfmpegPictureCache::stopAhead()
{
    std::lock_guard<std::mutex> lock(mutex_);
    stopAhead_ = true;
    changed_.notify_all();
}

void FfmpegPictureCache::insertLocked(int64_t pts, FramePtr picture)
{
    bytes_ += bytesOf(picture.get());
    pictures_.emplace(pts, std::move(picture));
}

void FfmpegPictureCache::dropLocked(std::map<int64_t, FramePtr>::iterator picture)
{
    bytes_ -= bytesOf(picture->second.get());
    pictures_.erase(picture);
}

} // namespace QelRuntime
