// The binding of the external logging library: its module handle and the
// addresses of its four entry points. Owned by one Logger; a LoggerImpl
// either holds all four entries of a loaded library or nothing at all.
#pragma once

#include <cstdarg>
#include <string>

#include "support/Platform.h"

namespace Qel {

class LoggerImpl {
public:
    using ConfigureEntry = void (*)();
    using CloseEntry = void (*)();
    // The library answers a one-byte boolean; only its low byte counts.
    using IsEnabledEntry = unsigned char (*)();
    using WriteEntry = void (*)(const char* category, const char* function, int line,
                                const char* format, va_list* arguments);

    LoggerImpl() = default;
    // Clears the entries and unloads the library when one is loaded.
    virtual ~LoggerImpl();
    LoggerImpl(const LoggerImpl&) = delete;
    LoggerImpl& operator=(const LoggerImpl&) = delete;

    // Loads the library from where its maker installs it, never from the
    // current folder or PATH (Platform::loadInstalledLibrary), and looks up
    // its entries in the order configure, close, isEnabled, write. At the
    // first missing entry, or when the library does not load, unbinds
    // everything and answers false.
    bool bind(const std::u16string& libraryName);

    Platform::ModuleHandle module = nullptr;
    ConfigureEntry configureEntry = nullptr;
    CloseEntry closeEntry = nullptr;
    IsEnabledEntry isEnabledEntry = nullptr;
    WriteEntry writeEntry = nullptr;

private:
    void unbind();
};

// The library's standard file name, as a host machine provides it.
std::u16string standardLoggingLibraryName();

} // namespace Qel
