// Chooses the stand-in runtime's modes (runtime/operations/RuntimeModes.h) for the
// movies loaded while it lives; the defaults return with its end.
#pragma once

#include <string>

#include "TestEnvironment.h"

namespace Qel::Testing {

class ScopedRuntimeModes {
public:
    explicit ScopedRuntimeModes(const std::string& modes) { set(modes); }
    ~ScopedRuntimeModes() { set(""); }
    ScopedRuntimeModes(const ScopedRuntimeModes&) = delete;
    ScopedRuntimeModes& operator=(const ScopedRuntimeModes&) = delete;

private:
    static void set(const std::string& modes) { setTestEnvironment("QEL_QUICKTIME_MODES", modes); }
};

} // namespace Qel::Testing
