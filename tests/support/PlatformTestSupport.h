#pragma once

#include <string>

namespace Qel::Testing {

#if defined(_WIN32)
constexpr bool kWindows = true;
#else
constexpr bool kWindows = false;
#endif

inline std::string moduleName(const std::string& base)
{
    return QEL_MODULE_PREFIX + base + QEL_MODULE_SUFFIX;
}

} // namespace Qel::Testing
