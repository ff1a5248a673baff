#include "support/Logger.h"

#include <cstdarg>
#include <memory>
#include <new>

#include "support/LoggerImpl.h"

namespace Qel {

Logger* Logger::instance() noexcept
{
    // A function-local static is initialised exactly once even when two
    // threads log for the first time together: the second waits for the
    // first to finish binding. The instance is deliberately never deleted.
    // An initialisation that runs out of memory leaves the static to be
    // initialised by the next call; the line at hand goes to a logger that
    // is bound to nothing.
    try {
        static Logger* const theInstance = new Logger(standardLoggingLibraryName());
        return theInstance;
    } catch (const std::bad_alloc&) {
        static Logger unbound;
        return &unbound;
    }
}

Logger::Logger() : impl(nullptr) {}

Logger::Logger(const std::u16string& libraryName)
{
    std::unique_ptr<LoggerImpl> binding(new LoggerImpl());
    impl = binding->bind(libraryName) ? binding.release() : nullptr;
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
