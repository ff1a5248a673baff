// The state and operations that every stream shares, through a minimal
// concrete stream.
#include <gtest/gtest.h>

#include <thread>

#include "VtableCall.h"
#include "streams/StreamInterface.h"

namespace Qel {
namespace {

class BareStream : public StreamInterface {
    QEL_DESTRUCTOR_SLOT(BareStream)
public:
    BareStream() : StreamInterface(77, 1234, 0) {}
    ~BareStream() = default;

    uint32_t getDuration() override { return 0; }
    bool queryOption(uint32_t, uint32_t, uint32_t, uint32_t) override { return false; }
    StreamFormat* getFormat() override { return nullptr; }
    Properties* getProperties() override { return nullptr; }
    int32_t getKind() override { return 0; }
    int32_t openStream(HostClock*) override { return 0; }
    int32_t rewindStream() override { return 0; }
    int32_t getSyncPoint(int32_t, uint32_t, uint32_t*) override { return 0; }
    int32_t seekStream(uint32_t, uint32_t*, int32_t) override { return 0; }
    int32_t closeStream() override { return 0; }
    int32_t readStream(MediaChunk**) override { return 0; }

    // Nothing in the plug-in associates streams; a test does, to see the
    // selection rule at work.
    void associate(uint64_t key, uint32_t flags, StreamInterface* stream) { associatedStreams[key] = {flags, stream}; }
    bool lockIsFree()
    {
        bool free = false;
        std::thread other([&] {
            free = lock.try_lock();
            if (free)
                lock.unlock();
        });
        other.join();
        return free;
    }
};

// The streams getAssociatedStreams lists for mask, in order.
std::vector<StreamInterface*> associated(StreamInterface& stream, uint32_t mask)
{
    const List<StreamInterface*> list = callByValue(stream, &StreamInterface::getAssociatedStreams, mask);
    std::vector<StreamInterface*> out;
    for (Node<StreamInterface*>* node = list.head; node; node = node->next)
        out.push_back(node->value);
    return out;
}

// The host reaches these through fixed slots: 2, 7 and 15 to 23.
TEST(StreamInterface, FreshStreamAnswersItsDefaultsThroughTheHostsSlots)
{
    BareStream stream;
    using Testing::callSlot;
    int32_t first = -1;
    int32_t second = -1;
    callSlot<void>(&stream, 2, &first, &second);
    EXPECT_EQ(first, 0);
    EXPECT_EQ(second, 0);
    EXPECT_EQ(callSlot<int32_t>(&stream, 7), 0);
    EXPECT_EQ(callSlot<uint32_t>(&stream, 15), 0u);
    EXPECT_FALSE(callSlot<bool>(&stream, 16));
    EXPECT_EQ(callSlot<int32_t>(&stream, 18), 0);
    EXPECT_EQ(callSlot<int32_t>(&stream, 20), 0);
    EXPECT_EQ(stream.getStreamId(), 1234u);

    EXPECT_TRUE(callSlot<bool>(&stream, 17, int32_t(-2000)));
    EXPECT_EQ(callSlot<int32_t>(&stream, 18), -2000);
    EXPECT_TRUE(callSlot<bool>(&stream, 19, int32_t(2)));
    EXPECT_EQ(callSlot<int32_t>(&stream, 20), 2);
    callSlot<void>(&stream, 21, int32_t(-5));
    EXPECT_EQ(callSlot<int32_t>(&stream, 22), -5);
    for (uint32_t feature : {0u, 1u, 0xFFFFFFFFu})
        EXPECT_FALSE(callSlot<bool>(&stream, 23, feature));
}

TEST(StreamInterface, ValuePairWritesOnlyTheWordsAskedFor)
{
    BareStream stream;
    int32_t second = -1;
    stream.getValuePair(nullptr, &second);
    EXPECT_EQ(second, 0);
    stream.getValuePair(nullptr, nullptr);
}

TEST(StreamInterface, AssociatedStreamsAreEmptyAndLeaveTheLockFree)
{
    BareStream stream;
    for (uint32_t mask : {0u, 1u, 0xFFFFFFFFu}) {
        List<StreamInterface*> result = callByValue(stream, &StreamInterface::getAssociatedStreams, mask);
        EXPECT_EQ(result.count, 0);
        EXPECT_EQ(result.head, nullptr);
        EXPECT_EQ(result.allocator, &StandardAllocator<Node<StreamInterface*>>::instance());
    }
    EXPECT_TRUE(stream.lockIsFree());
}

TEST(StreamInterface, AssociatedStreamsSelectEntriesHoldingEveryBitOfTheMaskInKeyOrder)
{
    BareStream stream;
    BareStream a, b, c;
    stream.associate(30, 0x3, &c);
    stream.associate(10, 0x1, &a);
    stream.associate(20, 0x6, &b);

    EXPECT_EQ(associated(stream, 0), (std::vector<StreamInterface*>{&a, &b, &c}));
    EXPECT_EQ(associated(stream, 0x1), (std::vector<StreamInterface*>{&a, &c}));
    EXPECT_EQ(associated(stream, 0x2), (std::vector<StreamInterface*>{&b, &c}));
    EXPECT_EQ(associated(stream, 0x3), (std::vector<StreamInterface*>{&c}));
    EXPECT_TRUE(associated(stream, 0x8).empty());
    EXPECT_TRUE(stream.lockIsFree());
}

} // namespace
} // namespace Qel
