#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "VtableCall.h"
#include "media/MediaBuffer.h"

namespace Qel {
namespace {

using Testing::callSlot;

// Events from several threads, in the order they happened.
class EventOrder {
public:
    void note(const std::string& event)
    {
        std::lock_guard<std::mutex> guard(mutex);
        events.push_back(event);
    }
    std::vector<std::string> all()
    {
        std::lock_guard<std::mutex> guard(mutex);
        return events;
    }

private:
    std::mutex mutex;
    std::vector<std::string> events;
};

// Long enough that a buffer that did not wait would run ahead of the holder.
void pause()
{
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
}

// Runs waiter on another thread while this thread holds buffer's lock, then
// lets go; the waiter must finish only after the lock was dropped.
template <class Waiter>
std::vector<std::string> orderWhileHeld(MediaBuffer& buffer, Waiter waiter)
{
    EventOrder order;
    buffer.lockData();
    std::thread other([&] {
        waiter();
        order.note("waiter done");
    });
    pause();
    order.note("holder unlocks");
    buffer.unlockData();
    other.join();
    return order.all();
}

const std::vector<std::string> kWaitedForHolder{"holder unlocks", "waiter done"};

TEST(MediaBufferTest, NewBufferIsEmptyAndSetDataKeepsTheValidLength)
{
    MediaBuffer buffer;
    EXPECT_EQ(buffer.dataSize(), 0u);
    EXPECT_EQ(buffer.dataLength(), 0u);
    EXPECT_EQ(buffer.lockData(), nullptr);
    buffer.unlockData();

    unsigned char* first = new unsigned char[16];
    unsigned char* second = new unsigned char[32];
    callSlot<void>(&buffer, 1, first, uint32_t(16));
    buffer.dataLength() = 10;
    callSlot<void>(&buffer, 1, second, uint32_t(32));
    EXPECT_EQ(buffer.dataSize(), 32u);
    EXPECT_EQ(buffer.dataLength(), 10u);
    EXPECT_EQ(callSlot<unsigned char*>(&buffer, 3), second);
    callSlot<void>(&buffer, 4);
    // setData freed neither block: both are still ours to free.
    delete[] first;
    delete[] second;
}

TEST(MediaBufferTest, LockIsRecursiveAndNeedsOneUnlockPerLock)
{
    MediaBuffer buffer;
    EventOrder order;
    callSlot<unsigned char*>(&buffer, 3);  // lockData
    callSlot<void>(&buffer, 5);            // lock
    std::thread contender([&] {
        buffer.lock();
        order.note("contender acquired");
        buffer.unlock();
    });
    pause();
    order.note("first unlock");
    callSlot<void>(&buffer, 6);  // unlock
    pause();
    order.note("second unlock");
    callSlot<void>(&buffer, 4);  // unlockData
    contender.join();
    EXPECT_EQ(order.all(),
              (std::vector<std::string>{"first unlock", "second unlock", "contender acquired"}));
}

TEST(MediaBufferTest, ReleaseReturnsAtOnceWhenFreeAndWaitsForAHolder)
{
    MediaBuffer buffer;
    callSlot<void>(&buffer, 2);
    buffer.lock();
    buffer.release();  // the holding thread itself is not blocked
    buffer.unlock();

    EXPECT_EQ(orderWhileHeld(buffer, [&] { callSlot<void>(&buffer, 2); }), kWaitedForHolder);
}

TEST(MediaBufferTest, DestructionWaitsForAHolder)
{
    MediaBuffer* buffer = new MediaBuffer;
    EXPECT_EQ(orderWhileHeld(*buffer, [&] { callSlot<void*>(buffer, 0, 1u); }), kWaitedForHolder);
}

} // namespace
} // namespace Qel
