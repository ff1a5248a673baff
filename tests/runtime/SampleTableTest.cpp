#include <gtest/gtest.h>

#include "operations/SampleTable.h"

namespace QelRuntime {
namespace {

// Samples at 0, 100 (not sync), 200, 300 (not sync), then a gap, 600.
std::vector<SampleEntry> table()
{
    return {{0, 100, true, 0}, {100, 100, false, 0}, {200, 100, true, 0}, {300, 100, false, 0}, {600, 50, true, 0}};
}

int32_t next(int16_t flags, QtTimeValue time, int32_t rate)
{
    return nextInterestingSample(table(), flags, time, rate);
}

TEST(NextInterestingSample, ForwardAnswersTheFirstStartStrictlyAfter)
{
    EXPECT_EQ(next(kNextSample, 0, 1), 1);    // from a start: never the same sample
    EXPECT_EQ(next(kNextSample, 150, 1), 2);  // from inside a sample
    EXPECT_EQ(next(kNextSample, -5, 1), 0);   // before the table
    EXPECT_EQ(next(kNextSample, 450, 0), 4);  // rate 0 searches forward, across a gap
    EXPECT_EQ(next(kNextSample, 600, 1), -1); // from the last start
    EXPECT_EQ(next(kNextSample, 10000, 2), -1);
}

TEST(NextInterestingSample, BackwardAnswersTheLastStartStrictlyBefore)
{
    EXPECT_EQ(next(kNextSample, 200, -1), 1);  // from a start: the one before
    EXPECT_EQ(next(kNextSample, 250, -1), 2);  // inside a sample: its own start
    EXPECT_EQ(next(kNextSample, 0, -1), -1);   // from the first start
    EXPECT_EQ(next(kNextSample, 1, -1), 0);
    EXPECT_EQ(next(kNextSample, 10000, -1), 4);  // past the end: the last sample
}

TEST(NextInterestingSample, SyncFlagSkipsOtherSamplesInBothDirections)
{
    EXPECT_EQ(next(kNextSyncSample, 0, 1), 2);
    EXPECT_EQ(next(kNextSyncSample, 200, 1), 4);
    EXPECT_EQ(next(kNextSyncSample, 600, -1), 2);
    EXPECT_EQ(next(kNextSyncSample, 350, -1), 2);  // inside a non-sync sample
    EXPECT_EQ(next(kNextSyncSample, 200, -1), 0);
    EXPECT_EQ(next(kNextSyncSample, 0, -1), -1);
}

TEST(NextInterestingSample, EmptyTableHasNothing)
{
    EXPECT_EQ(nextInterestingSample({}, kNextSample, 0, 1), -1);
    EXPECT_EQ(nextInterestingSample({}, kNextSample, 0, -1), -1);
}

TEST(SampleCovering, AnswersTheSampleHoldingTheTimeAndClampsOutside)
{
    EXPECT_EQ(sampleCovering(table(), 0), 0);
    EXPECT_EQ(sampleCovering(table(), 99), 0);
    EXPECT_EQ(sampleCovering(table(), 100), 1);
    EXPECT_EQ(sampleCovering(table(), 500), 3);  // in the gap: the last sample starting before
    EXPECT_EQ(sampleCovering(table(), -10), 0);
    EXPECT_EQ(sampleCovering(table(), 99999), 4);
    EXPECT_EQ(sampleCovering({}, 0), -1);
}

} // namespace
} // namespace QelRuntime
