// Setting an environment variable that the loaded modules read, on both
// builds: an empty value removes it.
#pragma once

#include <cstdlib>
#include <string>

namespace Qel::Testing {

inline void setTestEnvironment(const char* name, const std::string& value)
{
#ifdef _WIN32
    _putenv_s(name, value.c_str());  // the CRT's environment, which the modules read
#else
    if (value.empty())
        unsetenv(name);
    else
        setenv(name, value.c_str(), 1);
#endif
}

} // namespace Qel::Testing
