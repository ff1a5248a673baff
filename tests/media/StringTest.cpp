#include <cstring>
#include <utility>

#include <gtest/gtest.h>

#include "CountingAllocator.h"
#include "media/String.h"

namespace Qel {
namespace {

using Testing::CountingAllocator;

TEST(StringTest, NullSourceAndEmptyTextAreBothUsable)
{
    CountingAllocator<char> allocator;
    {
        String<char> fromNull(nullptr, &allocator);
        EXPECT_EQ(fromNull.data, nullptr);
        EXPECT_EQ(fromNull.length, 0u);
        EXPECT_EQ(fromNull.allocator, &allocator);
        EXPECT_EQ(fromNull.toStdString(), "");

        String<char> fromEmpty("", &allocator);
        ASSERT_NE(fromEmpty.data, nullptr);
        EXPECT_EQ(fromEmpty.length, 0u);
        EXPECT_EQ(fromEmpty.data[0], '\0');
    }
    EXPECT_EQ(allocator.allocations, 1);
    EXPECT_EQ(allocator.deallocations, 1);
}

TEST(StringTest, CopiesUpToTheFirstNulWithTerminator)
{
    CountingAllocator<unsigned char> allocator;
    const unsigned char text[] = {'v', 'i', 'd', 0, 'x', 0};
    String<unsigned char> value(text, &allocator);
    ASSERT_EQ(value.length, 3u);
    EXPECT_NE(value.data, text);
    EXPECT_EQ(std::memcmp(value.data, text, 4), 0);
    EXPECT_EQ(value.toStdString(), "vid");
}

TEST(StringTest, CopyWithAnotherAllocatorAllocatesAndFreesThroughIt)
{
    CountingAllocator<char> first;
    CountingAllocator<char> second;
    String<char> source("video/mp4", &first);
    {
        String<char> copy(source, &second);
        EXPECT_EQ(copy.allocator, &second);
        EXPECT_TRUE(second.holds(copy.data));
        EXPECT_EQ(copy.toStdString(), "video/mp4");
        EXPECT_EQ(copy.data[copy.length], '\0');

        String<char> emptyCopy(String<char>(nullptr, &first), &second);
        EXPECT_EQ(emptyCopy.data, nullptr);
        EXPECT_EQ(emptyCopy.allocator, &second);
    }
    EXPECT_EQ(first.allocations, 1);
    EXPECT_EQ(first.deallocations, 0);
    EXPECT_EQ(second.allocations, 1);
    EXPECT_EQ(second.deallocations, 1);
}

TEST(StringTest, ValueSemanticsKeepOneOwnerPerBlock)
{
    CountingAllocator<char> allocator;
    {
        String<char> source("title", &allocator);
        String<char> copy(source);  // the source's allocator
        EXPECT_EQ(copy.allocator, &allocator);
        EXPECT_NE(copy.data, source.data);

        String<char> moved(std::move(copy));
        EXPECT_EQ(copy.data, nullptr);
        EXPECT_EQ(copy.length, 0u);
        EXPECT_EQ(moved.toStdString(), "title");

        String<char> assigned(nullptr, &allocator);
        assigned = source;
        EXPECT_EQ(assigned.toStdString(), "title");
        assigned = String<char>(nullptr, &allocator);
        EXPECT_EQ(assigned.data, nullptr);
    }
    EXPECT_EQ(allocator.allocations, allocator.deallocations);
}

TEST(StringTest, ClearFreesOnceAndLeavesAnEmptyString)
{
    CountingAllocator<char> allocator;
    String<char> value("abc", &allocator);
    value.clear();
    EXPECT_EQ(value.data, nullptr);
    EXPECT_EQ(value.length, 0u);
    value.clear();
    EXPECT_EQ(allocator.deallocations, 1);
}

} // namespace
} // namespace Qel
