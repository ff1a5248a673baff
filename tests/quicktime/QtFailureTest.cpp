#include <gtest/gtest.h>

#include <string>

#include "LogCapture.h"
#include "quicktime/QtFailure.h"
#include "quicktime/QtTypes.h"

namespace Qel::Testing {
namespace {

struct FailureLine {
    int32_t status;
    std::string expected;
};

// The hexadecimal field is at least four digits wide and grows with the
// value; the characters are the status's four bytes, lowest first, zeros
// included.
TEST(QtFailureTest, LogsTheStatusWidenedThenItsBytesLowestFirst)
{
    using namespace std::string_literals;
    const FailureLine cases[] = {
        {-2095, "failed with code -2095 0xFFFFF7D1 \xD1\xF7\xFF\xFF"s},
        {0x6D6F6F76, "failed with code 1836019574 0x6D6F6F76 voom"s},
        {0x41, "failed with code 65 0x0041 A\0\0\0"s},
        {0x1234, "failed with code 4660 0x1234 \x34\x12\0\0"s},
        {0x12345, "failed with code 74565 0x12345 \x45\x23\x01\0"s},
    };
    for (const FailureLine& line : cases) {
        SCOPED_TRACE(line.status);
        LogCapture log;
        // A 16-bit status is widened with its sign, as a 32-bit one is.
        if (line.status == QtStatus(line.status))
            QEL_LOG_QT_FAILURE(kVideoReadStream, QtStatus(line.status));
        else
            QEL_LOG_QT_FAILURE(kVideoReadStream, QtLongStatus{line.status});
        const std::vector<std::string> logged = log.messages(LogFunction::kVideoReadStream);
        // The last line: under Wine a capture folder of an earlier run with
        // the same process id may still hold its lines.
        ASSERT_FALSE(logged.empty());
        EXPECT_EQ(logged.back(), line.expected);
    }
}

} // namespace
} // namespace Qel::Testing
