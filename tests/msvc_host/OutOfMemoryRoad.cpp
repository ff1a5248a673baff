// A by-value slot whose allocation fails. The movie's name is large enough
// that the plug-in's heap asks the system for fresh address space to copy
// it; the host first reserves every free range of its address space, so
// that request fails and the copy raises std::bad_alloc inside the DLL.
// A Microsoft-ABI host cannot catch that exception: if it left the slot the
// unwinder would end the process. The plug-in hands back the empty text.
#include "MovieFile.h"
#include "Road.h"
#include "Session.h"
#include "SyntheticMovie.h"

namespace Host {

namespace {

constexpr uint32_t kReserve = 0x2000;
constexpr uint32_t kRelease = 0x8000;
constexpr uint32_t kNoAccess = 0x01;
constexpr size_t kNameLength = 8u << 20;

constexpr int kMaxRanges = 4096;
void* reservedRanges[kMaxRanges];  // static: too large for the stack
int reservedCount = 0;

// Reserves every free range of the address space, without memory behind it.
void reserveAddressSpace()
{
    for (size_t size = size_t(1) << 30; size >= 0x10000; size /= 2) {
        while (reservedCount < kMaxRanges) {
            void* range = VirtualAlloc(nullptr, size, kReserve, kNoAccess);
            if (!range)
                break;
            reservedRanges[reservedCount++] = range;
        }
    }
}

void releaseAddressSpace()
{
    while (reservedCount > 0)
        VirtualFree(reservedRanges[--reservedCount], 0, kRelease);
}

} // namespace

uint32_t outOfMemoryRoad()
{
    Checks checks;
    Bytes document;
    {
        Bytes name;
        for (size_t i = 0; i < kNameLength; ++i)
            name.appendByte(char('a' + i % 26));
        appendSyntheticMovie(document, name.text(), name.size());
    }
    TemporaryMovie movie(document);
    checks.that(movie.written(), "the movie is written to the temporary folder");
    Session session(checks);
    if (!movie.written() || !session.ready())
        return checks.verdict("out-of-memory road");
    ContainerInterface* container = session.container;
    container->initialize(&session.containerHost, 1);
    Bytes url;
    appendFileUrl(url, movie.path());
    checks.equal(openLocation(container, url.text()), 0, "open the movie with the long name");
    const uint64_t titleId = RecordingContainerHost::kFirstId;

    reserveAddressSpace();
    Text starved = container->getTitleName(titleId);
    releaseAddressSpace();
    print("msvc_host: the process survived a failed allocation in getTitleName\n");
    checks.that(starved.data == nullptr && starved.length == 0, "a failed allocation gives the empty text");
    checks.that(starved.allocator != nullptr, "the empty text carries its allocator");

    Text name = container->getTitleName(titleId);
    checks.that(name.data && name.length == kNameLength, "with memory back, the whole name comes back");
    if (name.data)
        name.allocator->deallocate(name.data);
    checks.equal(container->close(), 0, "close");
    return checks.verdict("out-of-memory road");
}

} // namespace Host
