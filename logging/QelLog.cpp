// The logging library: formats each line as
//   "<category> <function>:<line>: <message>"
// and appends it whole to the destination named by the environment variable
// QEL_LOG: "stderr", or the path of a file opened for appending. Unset or
// empty, logging is off and QelLog_isEnabled answers false.
//
// QEL_LOG is read again at every QelLog_isEnabled and QelLog_write, which
// costs one environment lookup; when it names another file than the open
// one, that file is closed and the new one opened. So a process can point
// logging elsewhere at any time. Every entry point may be called from any
// thread; lines are formatted outside the lock and written under it.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#if defined(_WIN32)
#define QEL_LOG_EXPORT extern "C"
#else
#define QEL_LOG_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {

class Destination {
public:
    ~Destination() { close(); }

    // Writes one whole line to the destination that QEL_LOG names now.
    void writeLine(const std::string& destinationName, const std::string& line)
    {
        std::lock_guard<std::mutex> guard(lock);
        if (destinationName != openName)
            reopen(destinationName);
        if (!stream)
            return;
        std::fwrite(line.data(), 1, line.size(), stream);
        std::fflush(stream);
    }

    void close()
    {
        std::lock_guard<std::mutex> guard(lock);
        closeStream();
    }

private:
    void reopen(const std::string& destinationName)
    {
        closeStream();
        openName = destinationName;
        if (destinationName == "stderr")
            stream = stderr;
        else
            stream = std::fopen(destinationName.c_str(), "ab");
    }

    void closeStream()
    {
        if (stream && stream != stderr)
            std::fclose(stream);
        else if (stream)
            std::fflush(stream);
        stream = nullptr;
        openName.clear();
    }

    std::mutex lock;
    std::string openName;
    std::FILE* stream = nullptr;
};

Destination& destination()
{
    static Destination theDestination;
    return theDestination;
}

std::string destinationName()
{
    const char* value = std::getenv("QEL_LOG");
    return value ? std::string(value) : std::string();
}

std::string formatMessage(const char* format, va_list* arguments)
{
    va_list measuring;
    va_copy(measuring, *arguments);
    const int length = std::vsnprintf(nullptr, 0, format, measuring);
    va_end(measuring);
    if (length < 0)
        return format;
    std::vector<char> text(static_cast<size_t>(length) + 1);
    std::vsnprintf(text.data(), text.size(), format, *arguments);
    return std::string(text.data(), static_cast<size_t>(length));
}

} // namespace

QEL_LOG_EXPORT void QelLog_configure()
{
}

QEL_LOG_EXPORT void QelLog_close()
{
    destination().close();
}

QEL_LOG_EXPORT bool QelLog_isEnabled()
{
    const char* value = std::getenv("QEL_LOG");
    return value && *value;
}

QEL_LOG_EXPORT void QelLog_write(const char* category, const char* function, int line,
                                 const char* format, va_list* arguments)
{
    const std::string name = destinationName();
    if (name.empty() || !format)
        return;
    std::string text = std::string(category ? category : "") + ' ' + (function ? function : "") + ':'
                       + std::to_string(line) + ": " + formatMessage(format, arguments);
    if (text.back() != '\n')
        text.push_back('\n');
    destination().writeLine(name, text);
}
