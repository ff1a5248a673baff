#include "Check.h"

namespace Host {

bool Checks::that(bool ok, const char* what)
{
    if (ok) {
        ++passed;
        return true;
    }
    ++failed;
    print("FAILED: ");
    print(what);
    print("\n");
    return false;
}

bool Checks::equal(long long actual, long long expected, const char* what)
{
    if (actual == expected)
        return that(true, what);
    print("FAILED: ");
    print(what);
    print(": got ");
    printNumber(actual);
    print(", expected ");
    printNumber(expected);
    print("\n");
    ++failed;
    return false;
}

uint32_t Checks::verdict(const char* road) const
{
    print("msvc_host ");
    print(road);
    print(": ");
    printNumber(passed);
    print(" checks passed, ");
    printNumber(failed);
    print(" failed\n");
    return failed ? 1 : 0;
}

} // namespace Host
