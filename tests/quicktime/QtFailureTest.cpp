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
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], "failed with code -2095 0xFFFFF7D1 \xD1\xF7\xFF\xFF");
    const std::vector<std::string> read = log.messages(LogFunction::kVideoReadStream);
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0], "failed with code 1836019574 0x6D6F6F76 voom");
}

} // namespace
} // namespace Qel::Testing
