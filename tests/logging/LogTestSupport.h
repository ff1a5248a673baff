// Helpers of the logger tests: platform file names of the test libraries,
// the QEL_LOG destination, and a temporary log file.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "support/Platform.h"

namespace Qel::Testing {

inline std::string moduleName(const std::string& base)
{
    return QEL_MODULE_PREFIX + base + QEL_MODULE_SUFFIX;
}

inline std::u16string wideModuleName(const std::string& base)
{
    const std::string name = moduleName(base);
    return std::u16string(name.begin(), name.end());
}

// Points the logging library at a destination; empty removes the variable.
inline void setLogDestination(const std::string& value)
{
#if defined(_WIN32)
    _putenv(("QEL_LOG=" + value).c_str());
#else
    if (value.empty())
        unsetenv("QEL_LOG");
    else
        setenv("QEL_LOG", value.c_str(), 1);
#endif
}

// A fresh, empty temporary file that is removed again at the end.
class TemporaryLogFile {
public:
    explicit TemporaryLogFile(const std::string& name)
        : path(std::filesystem::temp_directory_path()
               / ("qel-" + std::to_string(Platform::currentProcessId()) + "-" + name + ".log"))
    {
        std::filesystem::remove(path);
    }
    ~TemporaryLogFile()
    {
        setLogDestination("");
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
    }

    std::string name() const { return path.string(); }

    std::string contents() const
    {
        std::ifstream in(path, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

private:
    std::filesystem::path path;
};

} // namespace Qel::Testing
