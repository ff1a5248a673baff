// A logging library that records what reaches it: how often it was asked
// whether logging is on, and each written line as the library formats it.
// Logging is off until a test switches it on.
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <string>

#include "TestExport.h"

namespace {

std::atomic<bool> enabled{false};
std::atomic<int> isEnabledCalls{0};
std::atomic<int> closeCalls{0};
std::mutex linesLock;
std::string lines;

} // namespace

QEL_TEST_EXPORT void QelLog_configure() {}

QEL_TEST_EXPORT void QelLog_close()
{
    ++closeCalls;
}

// Answers "off" with a value whose upper bytes are set, so a caller that
// tests more than the low byte would wrongly see "on".
QEL_TEST_EXPORT unsigned int QelLog_isEnabled()
{
    ++isEnabledCalls;
    return enabled ? 0x00000001u : 0xFFFFFF00u;
}

QEL_TEST_EXPORT void QelLog_write(const char* category, const char* function, int line,
                                  const char* format, va_list* arguments)
{
    char message[512];
    std::vsnprintf(message, sizeof message, format, *arguments);
    std::lock_guard<std::mutex> guard(linesLock);
    lines += std::string(category) + '|' + function + '|' + std::to_string(line) + '|' + message + '\n';
}

QEL_TEST_EXPORT void QelLogTest_reset(bool enable)
{
    std::lock_guard<std::mutex> guard(linesLock);
    enabled = enable;
    isEnabledCalls = 0;
    closeCalls = 0;
    lines.clear();
}

QEL_TEST_EXPORT int QelLogTest_isEnabledCalls()
{
    return isEnabledCalls;
}

QEL_TEST_EXPORT int QelLogTest_closeCalls()
{
    return closeCalls;
}

// Copies the recorded lines into out (NUL-terminated, cut to capacity).
QEL_TEST_EXPORT void QelLogTest_lines(char* out, unsigned int capacity)
{
    std::lock_guard<std::mutex> guard(linesLock);
    std::snprintf(out, capacity, "%s", lines.c_str());
}
