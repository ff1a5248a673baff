#include "support/Logger.h"

#include <cstdarg>

#include "support/LoggerImpl.h"

namespace Qel {

Logger* Logger::instance()
{
    // A function-local static is initialised exactly once even when two
    // threads log for the first time together: the second waits for the
    // first to finish binding. The instance is deliberately never deleted.
    static Logger* const theInstance = new Logger(standardLoggingLibraryName());
    return theInstance;
}

Logger::Logger(const std::u16string& libraryName)
    : impl(new LoggerImpl())
{
    if (!impl->bind(libraryName)) {
        delete impl;
        impl = nullptr;
    }
}

Logger::~Logger()
{
    if (impl) {
        impl->closeEntry();
        delete impl;
    }
}

void Logger::write(const char* category, const char* function, int line, const char* format, ...)
{
    if (!impl || !impl->isEnabledEntry())
        return;
    va_list arguments;
    va_start(arguments, format);
    impl->writeEntry(category, function, line, format, &arguments);
    va_end(arguments);
}

} // namespace Qel
