// A host engine built for the Microsoft C++ ABI, without a C runtime:
//   msvc_host synthetic        every slot on a synthetic movie
//   msvc_host out-of-memory    host calls whose allocations fail in the DLL
//   msvc_host movie PATH|URL   any movie, read to its end
// QelContainerQuickTime.dll and QuickTime.qts are loaded from the program's
// folder. The exit code is 0 when every check passed.
#include "Road.h"

namespace {

// The arguments of the command line, split at blanks outside double quotes
// (the program's own name is argument 0). Returns the count.
int splitArguments(wchar_t* line, wchar_t** arguments, int capacity)
{
    int count = 0;
    wchar_t* read = line;
    while (*read && count < capacity) {
        while (*read == L' ' || *read == L'\t')
            ++read;
        if (!*read)
            break;
        wchar_t* write = read;
        arguments[count++] = write;
        bool quoted = false;
        for (; *read && (quoted || (*read != L' ' && *read != L'\t')); ++read) {
            if (*read == L'"')
                quoted = !quoted;
            else
                *write++ = *read;
        }
        if (*read)
            ++read;
        *write = 0;
    }
    return count;
}

bool same(const wchar_t* a, const wchar_t* b)
{
    while (*a && *a == *b) {
        ++a;
        ++b;
    }
    return *a == *b;
}

uint32_t run()
{
    static wchar_t line[4096];
    const wchar_t* original = GetCommandLineW();
    uint32_t length = 0;
    while (original[length] && length + 1 < 4096) {
        line[length] = original[length];
        ++length;
    }
    wchar_t* arguments[4];
    int count = splitArguments(line, arguments, 4);
    if (count == 2 && same(arguments[1], L"synthetic"))
        return Host::syntheticRoad();
    if (count == 2 && same(arguments[1], L"out-of-memory"))
        return Host::outOfMemoryRoad();
    if (count == 3 && same(arguments[1], L"movie"))
        return Host::movieRoad(arguments[2]);
    Host::print("usage: msvc_host synthetic | out-of-memory | movie PATH-OR-URL\n");
    return 2;
}

} // namespace

extern "C" void hostMain()
{
    ExitProcess(run());
}
