// Host calls whose allocations fail inside the DLL, one case after another
// on one plug-in. A Microsoft-ABI host cannot catch the exception a failed
// allocation raises there: if it left the call, the unwinder would end the
// process. Each case starves the DLL of memory for one call, checks the
// ordinary failure the host gets and what the call leaves behind, then gives
// the memory back and checks that the host can go on.
//
// Two ways to starve. Reserving every free range of the address space makes
// every large allocation fail, since the heap must ask the system for fresh
// space for those. Using up the C runtime's heap as well (the heap the
// DLL's operator new draws from) makes every allocation fail but small ones.
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
constexpr size_t kLocationLength = 4u << 20;
// Decoded to a 16 MiB YUY2 frame.
constexpr SyntheticTracks kLargeFrames = {"jpeg", 3840, 2160, kFrames};
// Everything a read allocates, but for its chunk, fits a small hole.
constexpr SyntheticTracks kTinyChunks = {"jpeg", 4, 4, 8};

constexpr int kMaxRanges = 4096;
constexpr int kMaxBlocks = 65536;
constexpr size_t kSmallBlock = 128;
constexpr int kSmallHoles = 8;
// static: too large for the stack
void* reservedRanges[kMaxRanges];
int reservedCount = 0;
void* heapBlocks[kMaxBlocks];
int heapBlockCount = 0;

// The C runtime the DLL imports; its heap is private to it.
using Malloc = void*(__cdecl*)(size_t size);
using Free = void(__cdecl*)(void* block);
Malloc crtMalloc = nullptr;
Free crtFree = nullptr;

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

// Takes every block the C runtime's heap can still hand out, except for a
// few holes of kSmallBlock bytes, kept apart by taken blocks so that they
// cannot merge: allocations larger than that fail, smaller ones succeed.
// MinGW's C++ runtime needs such a small block to throw: when even that
// fails, it falls back on an emergency pool whose lock is created on first
// use, which needs memory too, and the failure to make it throws again,
// recursing until the stack overflows.
void exhaustHeap()
{
    void* spares[2 * kSmallHoles];
    for (void*& spare : spares)
        spare = crtMalloc(kSmallBlock);
    for (size_t size = 0x100000; size >= 1; size /= 2) {
        while (heapBlockCount < kMaxBlocks) {
            void* block = crtMalloc(size);
            if (!block)
                break;
            heapBlocks[heapBlockCount++] = block;
        }
    }
    for (int i = 0; i < 2 * kSmallHoles; ++i) {
        if (i % 2 == 0)
            crtFree(spares[i]);
        else if (heapBlockCount < kMaxBlocks)
            heapBlocks[heapBlockCount++] = spares[i];
    }
}

void starveLargeBlocks()
{
    reserveAddressSpace();
}

void starveAllButSmallBlocks()
{
    reserveAddressSpace();
    exhaustHeap();
}

void feed()
{
    while (heapBlockCount > 0)
        crtFree(heapBlocks[--heapBlockCount]);
    while (reservedCount > 0)
        VirtualFree(reservedRanges[--reservedCount], 0, kRelease);
}

class HostLocation : public Location {
};

// What every case works on: the session, and the movie it opens first (one
// video and one sound track, its name 8 MiB long).
struct Road {
    Checks& checks;
    Session& session;
    const char* movieUrl;
    ContainerInterface* container() { return session.container; }
};

const uint64_t kTitleId = RecordingContainerHost::kFirstId;

// The name is copied into a fresh block that the address space cannot give:
// the empty text, bound to its allocator.
void titleNameCase(Road& road)
{
    starveLargeBlocks();
    Text starved = road.container()->getTitleName(kTitleId);
    feed();
    road.checks.that(starved.data == nullptr && starved.length == 0, "getTitleName: a failed allocation gives the empty text");
    road.checks.that(starved.allocator != nullptr, "getTitleName: the empty text carries its allocator");
    Text name = road.container()->getTitleName(kTitleId);
    road.checks.that(name.data && name.length == kNameLength, "getTitleName: with memory back, the whole name comes back");
    if (name.data)
        name.allocator->deallocate(name.data);
}

// A location too long to copy: canOpen says no and open fails with nothing
// loaded and the path unchanged. With memory back the location is refused as
// usual, being no local path.
void openCase(Road& road)
{
    ContainerInterface* container = road.container();
    Bytes url;
    url.append("file:///C:/");
    for (size_t i = url.size(); i < kLocationLength; ++i)
        url.appendByte('a');
    Text text = {reinterpret_cast<unsigned char*>(const_cast<char*>(url.text())), uint32_t(url.size()), nullptr};
    HostLocation location;
    location.text = &text;
    container->close();
    Text before = container->getPath();

    starveLargeBlocks();
    bool starvedCanOpen = container->canOpen(&location, 0, 0, 0);
    int32_t starvedOpen = container->open(&location);
    feed();
    road.checks.that(!starvedCanOpen, "canOpen: out of memory, the answer is no");
    road.checks.equal(starvedOpen, kFailure, "open: out of memory, 0x80100001");
    road.checks.equal(container->openTitle(kTitleId), kFailure, "open: no movie is loaded");
    Text after = container->getPath();
    road.checks.that(before.data && after.data && after.length == before.length &&
                         sameBytes(after.data, before.data, before.length),
                     "open: the path stays as it was");
    before.allocator->deallocate(before.data);
    if (after.data)
        after.allocator->deallocate(after.data);
    road.checks.equal(container->open(&location), int32_t(0x80800001u), "open: with memory back, no local path");
    road.checks.equal(openLocation(container, road.movieUrl), 0, "open: the movie opens again");
}

RecordingContainerHost* starvedHost = nullptr;

// The host's addStream starves the DLL once it holds the first stream, so
// that the second stream cannot be made.
void starveOnFirstStream()
{
    starvedHost->onAddStream = nullptr;
    starveAllButSmallBlocks();
}

// openTitle fails, takes back the stream it had handed over and activates
// none; with memory back it makes both streams.
void openTitleCase(Road& road)
{
    RecordingContainerHost& host = road.session.containerHost;
    const uint64_t firstStreamId = host.nextId;
    starvedHost = &host;
    host.onAddStream = &starveOnFirstStream;
    int32_t starved = road.container()->openTitle(kTitleId);
    feed();
    road.checks.equal(starved, kFailure, "openTitle: out of memory, 0x80100001");
    road.checks.equal(host.streamCount, 1, "openTitle: the first stream was handed over");
    road.checks.that(host.removedCount == 1 && host.removed[0] == firstStreamId && host.streams[0] == nullptr,
                     "openTitle: and taken back again");
    road.checks.equal(host.activationCount, 0, "openTitle: no stream is activated");
    road.checks.equal(road.container()->openTitle(kTitleId), 0, "openTitle: with memory back, it succeeds");
    road.checks.that(host.streamCount == 3 && host.activationCount == 2, "openTitle: two streams, both activated");
    road.checks.equal(road.container()->closeTitle(false), 0, "openTitle: closeTitle");
    road.checks.equal(host.removedCount, 3, "openTitle: closeTitle takes back the two streams");
}

// Opens a movie with the given tracks in place of the road's own, and its
// title; the video stream first, then the sound.
bool openOther(Road& road, const SyntheticTracks& tracks, TemporaryMovie*& movie, StreamInterface* streams[2])
{
    Bytes document;
    appendSyntheticMovie(document, kMovieName, textLength(kMovieName), tracks);
    movie = new TemporaryMovie(document);
    Bytes url;
    appendFileUrl(url, movie->path());
    ContainerInterface* container = road.container();
    RecordingContainerHost& host = road.session.containerHost;
    container->close();
    if (!road.checks.equal(openLocation(container, url.text()), 0, "open another movie") ||
        !road.checks.equal(container->openTitle(kTitleId), 0, "its openTitle"))
        return false;
    streams[0] = host.streams[host.streamCount - 2];
    streams[1] = host.streams[host.streamCount - 1];
    return true;
}

void closeOther(Road& road, TemporaryMovie* movie)
{
    road.container()->close();
    delete movie;
    road.checks.equal(openLocation(road.container(), road.movieUrl), 0, "the road's movie opens again");
}

// A read that fails for want of memory: no chunk, and the stream stays
// where it was.
void checkStarvedRead(Road& road, StreamInterface* stream, int32_t starved, MediaChunk* chunk, uint32_t position)
{
    road.checks.equal(starved, kFailure, "readStream: out of memory, 0x80100001");
    road.checks.that(chunk == nullptr, "readStream: no chunk");
    road.checks.that(stream->getPosition() == position && !stream->isEndOfStream(),
                     "readStream: the stream stays where it was");
}

// Reads one picture; the sample it shows, or -1.
long long readSample(Road& road, StreamInterface* video)
{
    MediaChunk* chunk = nullptr;
    if (!road.checks.equal(video->readStream(&chunk), 0, "readStream: a picture") || !chunk)
        return -1;
    uint32_t sample = sampleOfPicture(chunk->lockData());
    chunk->unlockData();
    chunk->release();
    return sample;
}

// Opens the video stream and reads its first picture, which the host holds
// on to (the block of a frame the host has released would serve the next
// frame without new memory); then the next read, starved, fails and leaves
// the stream where it was, and with memory back the read delivers the
// picture the failed one would have.
void checkStarvedVideoRead(Road& road, StreamInterface* video, Clock* clock, void (*starve)())
{
    road.checks.equal(video->openStream(clock), 0, "readStream: openStream of the video");
    MediaChunk* first = nullptr;
    if (road.checks.equal(video->readStream(&first), 0, "readStream: the first picture") && first) {
        road.checks.equal(sampleOfPicture(first->lockData()), 0, "readStream: the first picture's sample");
        first->unlockData();
    }
    const uint32_t position = video->getPosition();
    MediaChunk* chunk = nullptr;
    starve();
    int32_t starved = video->readStream(&chunk);
    feed();
    if (first)
        first->release();
    checkStarvedRead(road, video, starved, chunk, position);
    road.checks.equal(readSample(road, video), 1, "readStream: with memory back, the next picture");
}

// The decoded frame's block cannot be had (that memory is asked for without
// throwing, so this case held before the guard too).
void largeFrameCase(Road& road)
{
    TemporaryMovie* movie = nullptr;
    StreamInterface* streams[2] = {};
    ScriptedClock clock;
    if (openOther(road, kLargeFrames, movie, streams))
        checkStarvedVideoRead(road, streams[0], &clock, starveLargeBlocks);
    closeOther(road, movie);
}

// The chunk itself cannot be had: the video stream delivers the same frame
// at the next read, the sound stream the samples it had already taken from
// the runtime, at the same time.
void chunkCase(Road& road)
{
    TemporaryMovie* movie = nullptr;
    StreamInterface* streams[2] = {};
    ScriptedClock clock;
    if (openOther(road, kTinyChunks, movie, streams)) {
        checkStarvedVideoRead(road, streams[0], &clock, starveAllButSmallBlocks);
        StreamInterface* audio = streams[1];
        road.checks.equal(audio->openStream(&clock), 0, "readStream: openStream of the sound");
        MediaChunk* chunk = nullptr;
        starveAllButSmallBlocks();
        int32_t starved = audio->readStream(&chunk);
        feed();
        checkStarvedRead(road, audio, starved, chunk, 0);
        if (road.checks.equal(audio->readStream(&chunk), 0, "readStream: with memory back, the sound") && chunk) {
            const short* pcm = reinterpret_cast<const short*>(chunk->lockData());
            road.checks.that(chunk->dataSize == kTinyChunks.audioFrames * 4 && chunk->startTime == 0 &&
                                 pcm[0] == pcmValue(0, 0) && pcm[15] == pcmValue(7, 1),
                             "readStream: every sample the failed read had taken, from the start");
            chunk->unlockData();
            chunk->release();
        }
    }
    closeOther(road, movie);
}

struct Case {
    const char* call;
    void (*run)(Road& road);
};

const Case kCases[] = {
    {"getTitleName", titleNameCase},
    {"canOpen and open", openCase},
    {"openTitle", openTitleCase},
    {"readStream of a 4K frame", largeFrameCase},
    {"readStream's chunks", chunkCase},
};

} // namespace

uint32_t outOfMemoryRoad()
{
    Checks checks;
    void* crt = LoadLibraryW(L"msvcrt.dll");
    crtMalloc = reinterpret_cast<Malloc>(GetProcAddress(crt, "malloc"));
    crtFree = reinterpret_cast<Free>(GetProcAddress(crt, "free"));
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
    if (!movie.written() || !session.ready() || !checks.that(crtMalloc && crtFree, "msvcrt's malloc and free"))
        return checks.verdict("out-of-memory road");
    session.container->initialize(&session.containerHost, 1);
    Bytes url;
    appendFileUrl(url, movie.path());
    checks.equal(openLocation(session.container, url.text()), 0, "open the movie with the long name");

    Road road{checks, session, url.text()};
    for (const Case& run : kCases) {
        run.run(road);
        print("msvc_host: the process survived failed allocations in ");
        print(run.call);
        print("\n");
    }
    checks.equal(session.container->close(), 0, "close");
    return checks.verdict("out-of-memory road");
}

} // namespace Host
