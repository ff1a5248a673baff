#include <cstdint>
#include <cstring>
#include <future>
#include <new>
#include <vector>

#include <gtest/gtest.h>

#include "VtableCall.h"
#include "media/List.h"
#include "media/StandardAllocator.h"

namespace Qel {

class StreamInterface;

namespace {

using Testing::callSlot;

// The first count whose byte size does not fit 32 bits.
template <class T>
uint32_t firstOverflowingCount()
{
    return uint32_t((uint64_t(1) << 32) / sizeof(T));
}

template <class T>
void expectOverflowRule()
{
    const uint32_t first = firstOverflowingCount<T>();
    EXPECT_EQ(StandardAllocator<T>::requestSize(first), 0xFFFFFFFFu);
    EXPECT_EQ(StandardAllocator<T>::requestSize(0xFFFFFFFFu), 0xFFFFFFFFu);
    EXPECT_EQ(StandardAllocator<T>::requestSize(first - 1), uint32_t((first - 1) * sizeof(T)));
    EXPECT_THROW(StandardAllocator<T>::instance().allocate(first), std::bad_alloc);
    EXPECT_THROW(StandardAllocator<T>::instance().allocate(0xFFFFFFFFu), std::bad_alloc);
}

TEST(StandardAllocatorTest, NodeCountsWhoseSizeOverflowsThrowBadAlloc)
{
    expectOverflowRule<Node<uint64_t>>();
    expectOverflowRule<Node<StreamInterface*>>();
    EXPECT_EQ(firstOverflowingCount<Node<uint64_t>>(), 1u << 28);
    if (sizeof(void*) == 4) {
        EXPECT_EQ(firstOverflowingCount<Node<StreamInterface*>>(), 1u << 29);
    }
}

TEST(StandardAllocatorTest, ByteAllocatorsRefuseOnlyTheSaturatedRequest)
{
    EXPECT_EQ(StandardAllocator<unsigned char>::requestSize(0xFFFFFFFEu), 0xFFFFFFFEu);
    EXPECT_THROW(StandardAllocator<char>::instance().allocate(0xFFFFFFFFu), std::bad_alloc);
}

TEST(StandardAllocatorTest, AllocateAndDeallocateSitInSlotsOneAndTwo)
{
    StandardAllocator<unsigned char>* allocator = &StandardAllocator<unsigned char>::instance();
    auto* block = callSlot<unsigned char*>(allocator, 1, uint32_t(64));
    ASSERT_NE(block, nullptr);
    std::memset(block, 0xAB, 64);
    callSlot<void>(allocator, 2, block);

    StandardAllocator<Node<uint64_t>>* nodes = &StandardAllocator<Node<uint64_t>>::instance();
    auto* node = callSlot<Node<uint64_t>*>(nodes, 1, uint32_t(3));
    node[2].value = 5;
    node[2].next = nullptr;
    callSlot<void>(nodes, 2, node);
}

TEST(StandardAllocatorTest, FirstUseFromManyThreadsYieldsOneInstance)
{
    using Allocator = StandardAllocator<Node<StreamInterface*>>;
    std::vector<std::future<Allocator*>> users;
    for (int i = 0; i < 8; ++i)
        users.push_back(std::async(std::launch::async, [] { return &Allocator::instance(); }));
    for (auto& user : users)
        EXPECT_EQ(user.get(), &Allocator::instance());
}

} // namespace
} // namespace Qel
