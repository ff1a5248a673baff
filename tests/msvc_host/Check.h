// Checks that report the first fault of each kind and count the rest, so a
// run under CTest ends with one clear verdict.
#pragma once

#include "Freestanding.h"

namespace Host {

class Checks {
public:
    // Counts a passed or failed check; a failure prints what was expected.
    bool that(bool passed, const char* what);
    bool equal(long long actual, long long expected, const char* what);
    int failures() const { return failed; }
    // Prints the verdict line and returns the process exit code.
    uint32_t verdict(const char* road) const;

private:
    int passed = 0;
    int failed = 0;
};

} // namespace Host
