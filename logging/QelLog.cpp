// The logging library: formats each line as
//   "<category> <function>:<line>: <message>"
// and appends it whole to the destination named by the environment variable
// QEL_LOG: "stderr", or the absolute path of a file opened for appending.
// Unset, empty or a relative path, logging is off and QelLog_isEnabled
// answers false: a relative name would be resolved from the host's current
// folder, where anyone may have left a file or a link under that name.
//
// QEL_LOG is read again at every QelLog_isEnabled and QelLog_write, which
// costs one environment lookup; when it names another file than the open
// one, that file is closed and the new one opened. So a process can point
// logging elsewhere at any time. Every entry point may be called from any
// thread; lines are formatted outside the lock and written under it.
#include <cctype>
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

bool isAbsolutePath(const std::string& path)
{
#if defined(_WIN32)
    const auto separator = [](char c) { return c == '\\' || c == '/'; };
    const bool drive = path.size() > 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':'
                       && separator(path[2]);
    return drive || (path.size() > 1 && separator(path[0]) && separator(path[1]));
#else
    return !path.empty() && path[0] == '/';
#endif
}

// What QEL_LOG names now, when it is a destination this library writes to.
std::string destinationName()
{
    const char* value = std::getenv("QEL_LOG");
    const std::string name = value ? std::string(value) : std::string();
    return name == "stderr" || isAbsolutePath(name) ? name : std::string();
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
    return !destinationName().empty();
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
