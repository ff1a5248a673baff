// Any movie, given as a path or a file URL: what holds for every movie
// (a title, streams that read to their end with ordered chunks) checked,
// and what the plug-in reports printed.
#include "MovieFile.h"
#include "Road.h"
#include "Session.h"

namespace Host {

namespace {

constexpr uint32_t kMaxChunks = 1000000;

bool isUrl(const wchar_t* text)
{
    for (; *text && *text != L'\\'; ++text) {
        if (text[0] == L':' && text[1] == L'/' && text[2] == L'/')
            return true;
    }
    return false;
}

void readToEnd(Checks& checks, StreamInterface* stream)
{
    const bool video = stream->getKind() == kKindVideo;
    Clock* clock = nullptr;  // no clock: no catch-up, every chunk is read
    checks.equal(stream->openStream(clock), 0, "openStream");
    checks.that(stream->setReadSpeed(1000), "setReadSpeed");
    uint32_t chunks = 0;
    uint32_t lastStart = 0;
    bool ordered = true;
    bool sized = true;
    while (chunks < kMaxChunks && !stream->isEndOfStream()) {
        MediaChunk* chunk = nullptr;
        if (stream->readStream(&chunk) != 0 || !chunk)
            break;
        ordered = ordered && (chunks == 0 || chunk->startTime >= lastStart);
        sized = sized && chunk->dataSize > 0 && (!video || chunk->dataLength == chunk->dataSize);
        lastStart = chunk->startTime;
        ++chunks;
        chunk->release();
    }
    print(video ? "  video " : "  audio ");
    printNumber(chunks);
    print(" chunks, position ");
    printNumber(stream->getPosition());
    print(" ms\n");
    checks.that(chunks > 0, "the stream delivers chunks");
    checks.that(ordered, "chunk start times never go back");
    checks.that(sized, "every chunk holds bytes");
    checks.equal(stream->closeStream(), 0, "closeStream");
}

} // namespace

uint32_t movieRoad(const wchar_t* movie)
{
    Checks checks;
    Bytes url;
    if (isUrl(movie)) {
        appendUtf8(url, movie);
    } else {
        wchar_t full[1024];
        uint32_t length = GetFullPathNameW(movie, 1024, full, nullptr);
        if (!checks.that(length > 0 && length < 1024, "the movie's path resolves"))
            return checks.verdict("movie road");
        appendFileUrl(url, full);
    }
    Session session(checks);
    if (!session.ready())
        return checks.verdict("movie road");
    ContainerInterface* container = session.container;
    container->initialize(&session.containerHost, 1);
    print("movie ");
    print(url.text());
    print("\n");
    if (checks.equal(openLocation(container, url.text()), 0, "canOpen and open the movie")) {
        List<uint64_t> titles = container->getTitles();
        const uint64_t titleId = titles.head ? titles.head->value : 0;
        if (checks.that(titles.allocator != nullptr, "the title list carries its allocator"))
            freeList(titles);
        Text name = container->getTitleName(titleId);
        print("title ");
        print(name.data ? reinterpret_cast<const char*>(name.data) : "");
        print("\n");
        if (checks.that(name.allocator != nullptr, "the name carries its allocator") && name.data)
            name.allocator->deallocate(name.data);
        checks.equal(container->openTitle(titleId), 0, "openTitle");
        RecordingContainerHost& host = session.containerHost;
        checks.that(host.streamCount > 0, "the movie has streams");
        for (int i = 0; i < host.streamCount; ++i)
            readToEnd(checks, host.streams[i]);
        checks.equal(container->closeTitle(false), 0, "closeTitle");
        checks.equal(container->close(), 0, "close");
    }
    session.release();
    return checks.verdict("movie road");
}

} // namespace Host
