// Huge pages are asked for only under whole 2 MiB blocks of a table's own
// room, and a table so reserved holds what is written to it.
#include "io/FfmpegLargeTables.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace Qel::Testing {
namespace {

using namespace QelRuntime;

TEST(FfmpegLargeTables, HugePagesLieWithinTheTable)
{
    const uintptr_t mib = 1024 * 1024;
    struct Case {
        uintptr_t begin;
        size_t bytes;
        uintptr_t first;
        uintptr_t last;
    };
    for (const Case& c : {
             Case{8 * mib, 4 * mib, 8 * mib, 12 * mib},            // aligned both ends
             Case{8 * mib + 16, 4 * mib, 10 * mib, 12 * mib},      // start rounded up
             Case{8 * mib, 4 * mib - 1, 8 * mib, 10 * mib},        // end rounded down
             Case{8 * mib + 16, 2 * mib, 10 * mib, 10 * mib},      // no whole page
             Case{8 * mib + 4096, 1 * mib, 10 * mib, 10 * mib},    // smaller than one
         }) {
        const HugePageSpan span = hugePagesWithin(c.begin, c.bytes);
        EXPECT_EQ(span.first, c.first) << c.begin << "+" << c.bytes;
        EXPECT_EQ(span.last, c.last) << c.begin << "+" << c.bytes;
        EXPECT_GE(span.first, c.begin);
        EXPECT_LE(span.last, std::max<uintptr_t>(span.first, c.begin + c.bytes));
    }
}

TEST(FfmpegLargeTables, AReservedTableHoldsWhatIsWritten)
{
    constexpr size_t kEntries = 3 * 1024 * 1024;  // 24 MiB: several whole huge pages
    std::vector<uint64_t> table;
    reserveLargeTable(table, kEntries);
    ASSERT_GE(table.capacity(), kEntries);
    for (size_t i = 0; i < kEntries; ++i)
        table.push_back(i * 2654435761u);
    for (size_t i = 0; i < kEntries; i += 4099)
        ASSERT_EQ(table[i], i * 2654435761u) << i;
    EXPECT_EQ(table.back(), (kEntries - 1) * 2654435761u);
}

} // namespace
} // namespace Qel::Testing
