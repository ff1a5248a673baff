// A thread that runs work ahead of the reader: the latest job requested
// runs there, and a job still waiting when a newer one arrives is dropped
// (only the latest guess of what the reader needs next is worth doing).
// Jobs run one at a time, in the order requested; a job's captures are
// released on the thread that ran or dropped it.
//
// One owner, which may request from any one thread at a time. The
// destructor drops the waiting job, lets the running one finish and joins.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace QelRuntime {

class FfmpegPrefetchThread {
public:
    // Throws std::system_error when no thread can be started.
    FfmpegPrefetchThread();
    ~FfmpegPrefetchThread();
    FfmpegPrefetchThread(const FfmpegPrefetchThread&) = delete;
    FfmpegPrefetchThread& operator=(const FfmpegPrefetchThread&) = delete;

    void request(std::function<void()> job);

private:
    void run();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::function<void()> waiting_;
    bool stopping_ = false;
    std::thread thread_;  // last, so that it starts after the state it reads
};

} // namespace QelRuntime
