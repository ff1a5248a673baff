#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "CountingAllocator.h"
#include "media/List.h"

namespace Qel {
namespace {

using Testing::CountingAllocator;
using IdNode = Node<uint64_t>;

std::vector<uint64_t> valuesOf(const List<uint64_t>& list)
{
    std::vector<uint64_t> values;
    for (const IdNode* node = list.head; node; node = node->next)
        values.push_back(node->value);
    return values;
}

TEST(ListTest, PushBackAppendsInOrderWithNodesFromItsAllocator)
{
    CountingAllocator<IdNode> allocator;
    List<uint64_t> list(&allocator);
    list.pushBack(7);
    list.pushBack(0xFFFFFFFF00000001ull);
    list.pushBack(9);
    EXPECT_EQ(list.count, 3);
    EXPECT_EQ(valuesOf(list), (std::vector<uint64_t>{7, 0xFFFFFFFF00000001ull, 9}));
    EXPECT_EQ(list.tail->value, 9u);
    EXPECT_EQ(list.tail->next, nullptr);
    EXPECT_TRUE(allocator.holds(list.head));
    EXPECT_EQ(allocator.allocations, 3);
}

TEST(ListTest, CopyWithAnotherAllocatorCopiesEveryValueInOrder)
{
    CountingAllocator<IdNode> first;
    CountingAllocator<IdNode> second;
    List<uint64_t> source(&first);
    std::vector<uint64_t> expected;
    for (uint64_t value = 100; value < 140; ++value) {
        source.pushBack(value);
        expected.push_back(value);
    }
    {
        List<uint64_t> copy(source, &second);
        EXPECT_EQ(copy.allocator, &second);
        EXPECT_EQ(copy.count, 40);
        EXPECT_EQ(valuesOf(copy), expected);
        for (const IdNode* node = copy.head; node; node = node->next)
            EXPECT_TRUE(second.holds(node));
    }
    EXPECT_EQ(second.allocations, 40);
    EXPECT_EQ(second.deallocations, 40);
    EXPECT_EQ(valuesOf(source), expected);
}

TEST(ListTest, CopyOfAnEmptyListUsesTheGivenAllocator)
{
    CountingAllocator<IdNode> first;
    CountingAllocator<IdNode> second;
    List<uint64_t> source(&first);
    List<uint64_t> copy(source, &second);
    EXPECT_EQ(copy.allocator, &second);
    EXPECT_EQ(copy.head, nullptr);
    EXPECT_EQ(copy.tail, nullptr);
    EXPECT_EQ(copy.count, 0);
}

TEST(ListTest, ClearFreesEveryNodeAndTheListStaysUsable)
{
    CountingAllocator<IdNode> allocator;
    List<uint64_t> list(&allocator);
    for (uint64_t value = 0; value < 5; ++value)
        list.pushBack(value);
    list.clear();
    EXPECT_EQ(allocator.deallocations, 5);
    EXPECT_EQ(list.head, nullptr);
    EXPECT_EQ(list.tail, nullptr);
    EXPECT_EQ(list.count, 0);

    list.pushBack(42);
    EXPECT_EQ(list.head, list.tail);
    EXPECT_EQ(valuesOf(list), std::vector<uint64_t>{42});
}

} // namespace
} // namespace Qel
