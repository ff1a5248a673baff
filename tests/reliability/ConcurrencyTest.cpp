// The paths that run on several threads at once: a host that reads streams
// on their own threads and releases chunks on others, two containers read
// on two threads, logging from several threads, and the first use of the
// process-wide logger and allocators from two threads together. These are
// the tests the thread-sanitizer build runs; natively each test case is a
// process of its own, so the first-use test really is the first use.
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "ContainerSession.h"
#include "HostClocks.h"
#include "LogCapture.h"
#include "MovieFixture.h"
#include "MovieRoad.h"
#include "media/BufferAllocator.h"
#include "media/List.h"
#include "media/MediaChunk.h"
#include "media/StandardAllocator.h"
#include "plugin/ResultCodes.h"
#include "streams/StreamInterface.h"
#include "support/Logger.h"

namespace Qel::Reliability {
namespace {

using Testing::ContainerSession;
using Testing::MovieFixture;
namespace Movie = Testing::Movie;

// Starts every thread's work at the same moment.
class StartLine {
public:
    explicit StartLine(int runners) : waiting(runners) {}
    void arriveAndWait()
    {
        std::unique_lock<std::mutex> guard(lock);
        if (--waiting == 0)
            go.notify_all();
        go.wait(guard, [this] { return waiting == 0; });
    }

private:
    std::mutex lock;
    std::condition_variable go;
    int waiting;
};

// Chunks handed from the reading threads to the releasing ones.
class ChunkQueue {
public:
    void push(MediaChunk* chunk)
    {
        std::lock_guard<std::mutex> guard(lock);
        chunks.push_back(chunk);
        ready.notify_one();
    }
    // Null once every producer is done and the queue is empty.
    MediaChunk* pop()
    {
        std::unique_lock<std::mutex> guard(lock);
        ready.wait(guard, [this] { return !chunks.empty() || producers == 0; });
        if (chunks.empty())
            return nullptr;
        MediaChunk* chunk = chunks.front();
        chunks.pop_front();
        return chunk;
    }
    void addProducer()
    {
        std::lock_guard<std::mutex> guard(lock);
        ++producers;
    }
    void producerDone()
    {
        std::lock_guard<std::mutex> guard(lock);
        --producers;
        ready.notify_all();
    }

private:
    std::mutex lock;
    std::condition_variable ready;
    std::deque<MediaChunk*> chunks;
    int producers = 0;
};

TEST(ConcurrencyTest, ChunksReleasedOnOtherThreadsWhileStreamsProduceMore)
{
    MovieFixture movies;
    Host::StoppedClock clock;
    ContainerSession session;
    session.initialize();
    ASSERT_EQ(session.open(movies.write("movie.json", Movie::document(Movie::videoTrack("vide", 60) + "," +
                                                                      Movie::soundTrack(6)))),
              kResultSuccess);
    ASSERT_EQ(session.container->openTitle(session.onlyTitle()), kResultSuccess);
    const std::vector<StreamInterface*> streams = session.containerHost.streams();
    ASSERT_EQ(streams.size(), 2u);

    ChunkQueue queue;
    std::atomic<int> delivered{0};
    std::atomic<int> released{0};
    std::vector<std::thread> threads;
    for (StreamInterface* stream : streams) {
        ASSERT_EQ(stream->openStream(&clock), kResultSuccess);
        queue.addProducer();
        threads.emplace_back([&queue, &delivered, stream] {
            for (int reads = 0; reads < 200 && !stream->isEndOfStream(); ++reads) {
                MediaChunk* chunk = nullptr;
                if (stream->readStream(&chunk) != kResultSuccess || !chunk)
                    break;
                ++delivered;
                queue.push(chunk);
            }
            queue.producerDone();
        });
    }
    for (int releaser = 0; releaser < 2; ++releaser) {
        threads.emplace_back([&queue, &released] {
            while (MediaChunk* chunk = queue.pop()) {
                const unsigned char* bytes = chunk->lockData();
                volatile unsigned sum = 0;
                for (uint32_t at = 0; at < chunk->dataLength(); ++at)
                    sum += bytes[at];
                chunk->unlockData();
                chunk->release();
                ++released;
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_GE(delivered.load(), 60);
    EXPECT_EQ(released.load(), delivered.load());
    for (StreamInterface* stream : streams)
        EXPECT_EQ(stream->closeStream(), kResultSuccess);
}

TEST(ConcurrencyTest, TwoContainersReadOnTwoThreads)
{
    MovieFixture movies;
    const std::string paths[2] = {
        movies.write("one.json", Movie::document(Movie::videoTrack("vide", 40) + "," + Movie::soundTrack(2))),
        movies.write("two.json", Movie::document(Movie::soundTrack(6) + "," + Movie::videoTrack("m1v ", 40))),
    };
    // Read both streams to the end, seek, read backwards, reopen, read.
    const std::string script = decodeAllScript() + std::string("\x62\x40\x44\x40\x07\x0E\x10\x0E");
    RoadOutcome outcomes[2];
    StartLine start(2);
    std::vector<std::thread> threads;
    for (int which = 0; which < 2; ++which) {
        threads.emplace_back([&, which] {
            start.arriveAndWait();
            for (int round = 0; round < 3; ++round)
                outcomes[which] = runRoad(paths[which], reinterpret_cast<const uint8_t*>(script.data()),
                                          script.size());
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    for (const RoadOutcome& outcome : outcomes) {
        EXPECT_EQ(outcome.openResult, kResultSuccess);
        EXPECT_EQ(outcome.streamsOpened, 2u);
        EXPECT_GE(outcome.chunks, 40u);
    }
}

TEST(ConcurrencyTest, LinesFromSeveralThreadsArriveWhole)
{
    constexpr int kThreads = 4;
    constexpr int kLinesEach = 250;
    Testing::LogCapture log;
    StartLine start(kThreads);
    std::vector<std::thread> threads;
    for (int thread = 0; thread < kThreads; ++thread) {
        threads.emplace_back([&start, thread] {
            start.arriveAndWait();
            for (int line = 0; line < kLinesEach; ++line)
                Logger::instance()->write("Container", "Qel::Concurrency", line, "thread %d line %d of %s", thread,
                                          line, "a line long enough to be written in more than one piece");
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    const std::vector<std::string> messages = log.messages("Qel::Concurrency");
    ASSERT_EQ(messages.size(), size_t(kThreads * kLinesEach));
    for (int thread = 0; thread < kThreads; ++thread) {
        const std::string last = "thread " + std::to_string(thread) + " line " + std::to_string(kLinesEach - 1) +
                                 " of a line long enough to be written in more than one piece";
        EXPECT_NE(std::find(messages.begin(), messages.end(), last), messages.end()) << last;
    }
}

TEST(ConcurrencyTest, FirstUseOfLoggerAndAllocatorsFromTwoThreads)
{
    struct Seen {
        Logger* logger = nullptr;
        void* texts = nullptr;
        void* streamNodes = nullptr;
        void* idNodes = nullptr;
    };
    Seen seen[2];
    StartLine start(2);
    std::vector<std::thread> threads;
    for (Seen& mine : seen) {
        threads.emplace_back([&start, &mine] {
            start.arriveAndWait();
            mine.logger = Logger::instance();
            mine.texts = &StandardAllocator<unsigned char>::instance();
            mine.streamNodes = &StandardAllocator<Node<StreamInterface*>>::instance();
            mine.idNodes = &StandardAllocator<Node<uint64_t>>::instance();
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    ASSERT_NE(seen[0].logger, nullptr);
    EXPECT_EQ(seen[0].logger, seen[1].logger);
    EXPECT_EQ(seen[0].texts, seen[1].texts);
    EXPECT_EQ(seen[0].streamNodes, seen[1].streamNodes);
    EXPECT_EQ(seen[0].idNodes, seen[1].idNodes);
}

// The same first use inside the plug-in module: two hosts ask for a
// component and its texts and lists at the same moment.
TEST(ConcurrencyTest, FirstComponentsOfTheModuleFromTwoThreads)
{
    StartLine start(2);
    std::atomic<int> mimeTypes{0};
    std::vector<std::thread> threads;
    for (int which = 0; which < 2; ++which) {
        threads.emplace_back([&] {
            start.arriveAndWait();
            ContainerSession session;
            session.initialize();
            for (uint32_t index = 0; index < session.container->getMimeTypeCount(); ++index) {
                const String<unsigned char> mimeType =
                    callByValue(*session.container, &ContainerInterface::getMimeType, index);
                mimeTypes += mimeType.length > 0 ? 1 : 0;
            }
            callByValue(*session.container, &ContainerInterface::getTitles);
            callByValue(*session.container, &ContainerInterface::getPath);
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(mimeTypes.load(), 18);
}

} // namespace
} // namespace Qel::Reliability
