// The prefetch thread runs the latest job it is given, drops one that is
// still waiting when a newer one arrives, and on destruction waits for the
// running job and keeps nothing a job captured.
#include "io/FfmpegPrefetchThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <memory>

namespace Qel::Testing {
namespace {

using namespace QelRuntime;

// A job that holds the thread until released.
struct BlockingJob {
    std::promise<void> started;
    std::promise<void> release;
    std::shared_future<void> released{release.get_future().share()};

    std::function<void()> job()
    {
        return [this] {
            started.set_value();
            released.wait();
        };
    }
};

TEST(FfmpegPrefetchThread, RunsTheLatestJobAndDropsOneStillWaiting)
{
    FfmpegPrefetchThread thread;
    BlockingJob first;
    thread.request(first.job());
    first.started.get_future().wait();

    auto superseded = std::make_shared<int>(0);
    std::weak_ptr<int> supersededCapture = superseded;
    std::atomic<bool> supersededRan{false};
    thread.request([capture = std::move(superseded), &supersededRan] { supersededRan = true; });
    std::promise<void> latestRan;
    thread.request([&latestRan] { latestRan.set_value(); });
    EXPECT_TRUE(supersededCapture.expired());

    first.release.set_value();
    latestRan.get_future().wait();
    EXPECT_FALSE(supersededRan);
}

TEST(FfmpegPrefetchThread, DestructionWaitsForTheRunningJobAndReleasesTheWaitingOne)
{
    auto thread = std::make_unique<FfmpegPrefetchThread>();
    BlockingJob running;
    std::atomic<bool> finished{false};
    thread->request([&running, &finished, job = running.job()] {
        job();
        finished = true;
    });
    running.started.get_future().wait();
    auto waiting = std::make_shared<int>(0);
    std::weak_ptr<int> waitingCapture = waiting;
    thread->request([capture = std::move(waiting)] {});

    std::thread destroyer([&thread] { thread.reset(); });
    running.release.set_value();
    destroyer.join();
    EXPECT_TRUE(finished);
    EXPECT_TRUE(waitingCapture.expired());
}

} // namespace
} // namespace Qel::Testing
