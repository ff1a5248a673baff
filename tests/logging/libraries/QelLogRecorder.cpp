// A logging library that records what reaches it: how often it was asked
// whether logging is on, each written line as the library formats it, and
// the values of its %c arguments as they arrive, before printf turns them
// into bytes. Logging is off until a test switches it on.
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "TestExport.h"

namespace {

std::atomic<bool> enabled{false};
std::atomic<int> isEnabledCalls{0};
std::atomic<int> closeCalls{0};
std::mutex linesLock;
std::string lines;
std::string characters;

// Walks the argument list as printf would, and lists the values of its %c
// arguments, each followed by a space.
std::string characterArguments(const char* format, va_list arguments)
{
    std::string values;
    for (const char* at = format; *at; ++at) {
        if (*at != '%' || *++at == '%')
            continue;
        while (*at && std::strchr("-+ #0123456789.", *at))
            ++at;
        int longs = 0;
        for (; *at == 'l'; ++at)
            ++longs;
        if (!*at)
            break;
        if (*at == 'c')
            values += std::to_string(va_arg(arguments, int)) + ' ';
        else if (*at == 's' || *at == 'p')
            va_arg(arguments, const void*);
        else if (*at == 'f')
            va_arg(arguments, double);
        else if (longs == 2)
            va_arg(arguments, long long);
        else if (longs == 1)
            va_arg(arguments, long);
        else
            va_arg(arguments, int);
    }
    return values;
}

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
    va_list walking;
    va_copy(walking, *arguments);
    const std::string values = characterArguments(format, walking);
    va_end(walking);
    char message[512];
    std::vsnprintf(message, sizeof message, format, *arguments);
    std::lock_guard<std::mutex> guard(linesLock);
    lines += std::string(category) + '|' + function + '|' + std::to_string(line) + '|' + message + '\n';
    characters += values + '\n';
}

QEL_TEST_EXPORT void QelLogTest_reset(bool enable)
{
    std::lock_guard<std::mutex> guard(linesLock);
    enabled = enable;
    isEnabledCalls = 0;
    closeCalls = 0;
    lines.clear();
    characters.clear();
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

// Copies the %c argument values of the recorded lines, one line each, into
// out (NUL-terminated, cut to capacity).
QEL_TEST_EXPORT void QelLogTest_characters(char* out, unsigned int capacity)
{
    std::lock_guard<std::mutex> guard(linesLock);
    std::snprintf(out, capacity, "%s", characters.c_str());
}
