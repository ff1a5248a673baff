#include "io/FfmpegPrefetchThread.h"

#include <utility>

namespace QelRuntime {

FfmpegPrefetchThread::FfmpegPrefetchThread() : thread_([this] { run(); }) {}

FfmpegPrefetchThread::~FfmpegPrefetchThread()
{
    std::function<void()> dropped;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        dropped = std::move(waiting_);
    }
    wake_.notify_one();
    thread_.join();
}

void FfmpegPrefetchThread::request(std::function<void()> job)
{
    std::function<void()> dropped;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        dropped = std::exchange(waiting_, std::move(job));
    }
    wake_.notify_one();
}

void FfmpegPrefetchThread::run()
{
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || waiting_; });
            if (stopping_)
                return;
            job = std::exchange(waiting_, nullptr);
        }
        job();
    }
}

} // namespace QelRuntime
