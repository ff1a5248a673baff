// The process-wide logger. Every diagnostic line of the plug-in goes through
// the one instance that Logger::instance() returns; the logger neither
// formats nor stores anything itself but forwards the line, with its format
// and unformatted argument list, to the external logging library, which
// decides whether logging is on. When that library is missing or lacks an
// entry point, logging is silently off for the life of the process.
//
// Lifecycle: the instance is created on the first instance() call and never
// destroyed, so the library stays loaded until the process ends. write() may
// be called from any thread and takes no lock.
#pragma once

#include <string>

namespace Qel {

class LoggerImpl;

class Logger {
public:
    // The one instance; created (and the library bound) on the first call.
    // Creation is safe when two threads log for the first time at once.
    // Never throws: when memory runs out before the instance exists, an
    // unbound logger stands in and the next call tries again.
    static Logger* instance() noexcept;

    // Binds the logging library found under libraryName; the instance uses
    // the library's standard name. Tests bind others.
    explicit Logger(const std::u16string& libraryName);
    // Calls the library's close entry when bound, then unbinds it.
    virtual ~Logger();
    Logger(const Logger&) = delete;
    Logger& operator=(const Logger&) = delete;

    // Hands the line to the library when it is bound and says it is enabled;
    // the library is asked again for every line.
    void write(const char* category, const char* function, int line, const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 5, 6)))
#endif
        ;

    bool isBound() const { return impl != nullptr; }

private:
    Logger();  // bound to nothing

    LoggerImpl* impl;
};

} // namespace Qel
