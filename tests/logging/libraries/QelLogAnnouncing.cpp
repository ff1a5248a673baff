// The real logging library (logging/QelLog.cpp is built into it) that also
// announces, as it is loaded, the file it was loaded from: one line
// "Qel_Logging loaded from <path>" on standard error. Its copies are
// planted where a host machine might hold one, and the line tells which copy
// ran, whether or not it was then bound.
#include <cstdio>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>

#include <climits>
#include <cstdlib>
#endif

namespace {

void anchor() {}

void announce()
{
#if defined(_WIN32)
    HMODULE self = nullptr;
    char path[MAX_PATH] = "";
    if (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCSTR>(&anchor), &self))
        GetModuleFileNameA(self, path, MAX_PATH);
#else
    // The loader keeps the name it was given, which may be relative.
    Dl_info info{};
    char path[PATH_MAX] = "";
    if (dladdr(reinterpret_cast<void*>(&anchor), &info) && info.dli_fname)
        realpath(info.dli_fname, path);
#endif
    std::fprintf(stderr, "Qel_Logging loaded from %s\n", path);
    std::fflush(stderr);
}

const bool announced = (announce(), true);

} // namespace
