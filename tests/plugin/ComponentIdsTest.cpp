#include <gtest/gtest.h>

#include "plugin/ComponentIds.h"

namespace Qel {
namespace {

String<char> text(const char* value)
{
    return String<char>(value, &StandardAllocator<char>::instance());
}

TEST(ComponentIdsTest, SameIdentifierComparesWholeTextsCaseSensitively)
{
    EXPECT_TRUE(sameIdentifier(kContainerInterfaceId, text("com.ombrix.flowvane.interface.container")));
    EXPECT_FALSE(sameIdentifier(kContainerInterfaceId, text("com.ombrix.flowvane.interface.Container")));
    EXPECT_FALSE(sameIdentifier(kContainerInterfaceId, text("com.ombrix.flowvane.interface.containe")));
    EXPECT_FALSE(sameIdentifier(kContainerInterfaceId, text("com.ombrix.flowvane.interface.containers")));
    EXPECT_FALSE(sameIdentifier(kContainerInterfaceId, kComponentInterfaceId));
}

TEST(ComponentIdsTest, NullDataCountsAsEmpty)
{
    const String<char> none(nullptr, &StandardAllocator<char>::instance());
    EXPECT_TRUE(sameIdentifier(none, text("")));
    EXPECT_TRUE(sameIdentifier(text(""), none));
    EXPECT_FALSE(sameIdentifier(none, kContainerInterfaceId));
}

TEST(ComponentIdsTest, ComparisonStopsAtTheTerminatorNotTheLength)
{
    String<char> padded = text("com.ombrix.flowvane.interface.container");
    padded.length = 3;  // a stale length does not shorten the text
    EXPECT_TRUE(sameIdentifier(padded, kContainerInterfaceId));
}

} // namespace
} // namespace Qel
