// Large tables built once while a movie opens (a long movie's index holds
// hundreds of thousands of entries). Writing them first touches megabytes
// of fresh memory, one page fault per 4 KiB page; asking for huge pages
// where the system hands them out on request (transparent huge pages in
// "madvise" mode) turns that into one fault per 2 MiB. On Linux only:
// Windows gives large pages only to privileged processes, and only to
// memory allocated for them (FfmpegLargeTables_win32.cpp asks nothing).
//
// Their entries are appended empty and filled field by field. Pushing a
// braced temporary instead makes GCC build it on the stack and copy it with
// loads wider than the stores that wrote it, which the processor cannot
// forward: a stall on every entry, a quarter of the time of building a
// long movie's tables.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace QelRuntime {

constexpr uintptr_t kHugePageBytes = 2 * 1024 * 1024;

// The whole huge pages inside [begin, begin + bytes): first == last when
// there are none. Only those can be asked for without touching the memory
// around the table.
struct HugePageSpan {
    uintptr_t first;
    uintptr_t last;
};

inline HugePageSpan hugePagesWithin(uintptr_t begin, size_t bytes)
{
    const uintptr_t first = (begin + kHugePageBytes - 1) & ~(kHugePageBytes - 1);
    const uintptr_t last = (begin + bytes) & ~(kHugePageBytes - 1);
    return last > first ? HugePageSpan{first, last} : HugePageSpan{first, first};
}

// Asks the system for huge pages under [first, last), whole huge pages.
void adviseHugePages(uintptr_t first, uintptr_t last);

// Reserves room for count entries and asks for huge pages under it. A
// request the system declines changes nothing.
template <typename T>
void reserveLargeTable(std::vector<T>& table, size_t count)
{
    table.reserve(count);
    const HugePageSpan span = hugePagesWithin(reinterpret_cast<uintptr_t>(table.data()), table.capacity() * sizeof(T));
    if (span.last > span.first)
        adviseHugePages(span.first, span.last);
}

} // namespace QelRuntime
