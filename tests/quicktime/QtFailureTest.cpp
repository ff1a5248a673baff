#include <gtest/gtest.h>

#include "LogCapture.h"
#include "quicktime/QtFailure.h"
#include "quicktime/QtTypes.h"

namespace Qel::Testing {
namespace {

TEST(QtFailureTest, LogsTheStatusWidenedThenItsBytesLowestFirst)
{
    LogCapture log;
    QEL_LOG_QT_FAILURE(kContainerOpen, QtStatus{-2095});
    QEL_LOG_QT_FAILURE(kVideoReadStream, QtLongStatus{0x6D6F6F76});

    const std::vector<std::string> opened = log.messages(LogFunction::kContainerOpen);
    // The last line: under Wine a capture folder of an earlier run with the
    // same process id may still hold its lines.
    ASSERT_FALSE(opened.empty());
    EXPECT_EQ(opened.back(), "failed with code -2095 0xFFFFF7D1 \xD1\xF7\xFF\xFF");
    const std::vector<std::string> read = log.messages(LogFunction::kVideoReadStream);
    ASSERT_FALSE(read.empty());
    EXPECT_EQ(read.back(), "failed with code 1836019574 0x6D6F6F76 voom");
}

} // namespace
} // namespace Qel::Testing
