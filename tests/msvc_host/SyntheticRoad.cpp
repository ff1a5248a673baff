// The road on the synthetic movie: every slot, every returned text and
// list, the host's callbacks, and chunks read field by field at the offsets
// this compiler lays out.
#include "MovieFile.h"
#include "Road.h"
#include "Session.h"
#include "SyntheticMovie.h"

namespace Host {

namespace {

constexpr const char* kMimeTypes[] = {
    "application/mp4", "audio/mp4",       "video/avi",     "video/mp4",       "video/mpeg",
    "video/msvideo",   "video/quicktime", "video/vnd.avi", "video/x-msvideo",
};
constexpr uint64_t kContainerId = 0x200000000ull + 42;

// The first slots the host calls return texts by value: a plug-in that does
// not follow this ABI's convention fails here, before anything else runs.
bool checkMimeTypes(Checks& checks, ContainerInterface* container)
{
    checks.equal(container->getMimeTypeCount(), 9, "getMimeTypeCount");
    for (uint32_t index = 0; index < 9; ++index) {
        Text mimeType = container->getMimeType(index);
        if (!checkText(checks, mimeType, kMimeTypes[index], "getMimeType returns the table's text"))
            return false;
        checks.equal(container->getMimeTypePriorityAt(index), 2000, "getMimeTypePriorityAt");
    }
    Text pastEnd = container->getMimeType(9);
    checkText(checks, pastEnd, nullptr, "getMimeType past the end is empty");
    checks.equal(container->getMimeTypePriorityAt(9), 0, "getMimeTypePriorityAt past the end");
    Text known = hostText<unsigned char>("video/quicktime");
    Text otherCase = hostText<unsigned char>("video/QuickTime");
    checks.equal(container->getMimeTypePriority(known), 2000, "getMimeTypePriority of a known type");
    checks.equal(container->getMimeTypePriority(otherCase), -1, "getMimeTypePriority is case-sensitive");
    return true;
}

void checkTitles(Checks& checks, ContainerInterface* container, uint64_t expected)
{
    List<uint64_t> titles = container->getTitles();
    checks.that(titles.count == 1 && titles.head && titles.head == titles.tail && !titles.head->next,
                "getTitles lists one title");
    checks.that(titles.head && titles.head->value == expected, "getTitles lists the title id");
    checks.that(titles.allocator != nullptr, "the title list carries its allocator");
    if (titles.allocator)
        freeList(titles);
}

void checkPluginSlots(Checks& checks, Session& session)
{
    Plugin* plugin = session.plugin;
    checks.equal(plugin->getReferenceCount(), 1, "getReferenceCount after getPlugin");
    checks.equal(plugin->referenceCount, 1, "the referenceCount field");
    checks.equal(plugin->addReference(), 2, "addReference");
    checks.equal(plugin->dropReference(), 1, "dropReference to 1");
    checks.equal(plugin->getReserved(), 0, "getReserved");
    checks.that(plugin->getHost() == &session.pluginHost && plugin->host == &session.pluginHost,
                "getHost returns the host's PluginHost");
    String<char> other = hostText<char>("com.ombrix.flowvane.interface.component");
    void* out = &out;
    checks.equal(plugin->queryInterface(other, &out), 3, "queryInterface of another interface");
    checks.that(out == nullptr, "queryInterface clears out");
}

void checkIdentity(Checks& checks, ContainerInterface* container, RecordingContainerHost& host)
{
    checks.that(container->getContainerId() == 0, "getContainerId before initialize");
    checkTitles(checks, container, 0);
    container->initialize(&host, kContainerId);
    checks.that(container->getContainerId() == kContainerId, "getContainerId returns an id above 2^32");
    checkTitles(checks, container, RecordingContainerHost::kFirstId);
    uint32_t first = 7;
    uint32_t second = 7;
    checks.equal(container->reserved8(&first, &second), 0, "reserved8");
    checks.that(first == 0 && second == 0, "reserved8 stores zeros");
    container->reserved3(5);
    checks.equal(container->reserved4(5), kFailure, "reserved4");
    uint64_t size = 0;
    checks.equal(container->getFileSize(&size), kFailure, "getFileSize before open");
}

void checkOpenedMovie(Checks& checks, ContainerInterface* container, TemporaryMovie& movie)
{
    const uint64_t titleId = RecordingContainerHost::kFirstId;
    Bytes path;
    appendUtf8(path, movie.path());
    Text returnedPath = container->getPath();
    checkText(checks, returnedPath, path.text(), "getPath returns the movie's local path");
    Text name = container->getTitleName(titleId);
    checkText(checks, name, kMovieName, "getTitleName of the title");
    Text noName = container->getTitleName(titleId + 1);
    checkText(checks, noName, nullptr, "getTitleName of another id is empty");
    uint64_t size = 0;
    checks.equal(container->getFileSize(&size), 0, "getFileSize after open");
    checks.that(size == movie.size(), "getFileSize reports the file's size");
}

bool openTitle(Checks& checks, ContainerInterface* container, RecordingContainerHost& host)
{
    const uint64_t titleId = RecordingContainerHost::kFirstId;
    checks.equal(container->openTitle(titleId + 1), kFailure, "openTitle of another id");
    checks.equal(container->openTitle(titleId), 0, "openTitle");
    if (!checks.equal(host.streamCount, 2, "openTitle adds two streams"))
        return false;
    StreamInterface* video = host.streams[0];
    StreamInterface* audio = host.streams[1];
    checks.that(video->streamId == titleId + 1 && audio->streamId == titleId + 2,
                "the streams carry ids drawn from the host, above 2^32");
    checks.that(video->containerId == kContainerId && audio->containerId == kContainerId,
                "the streams carry the container's id");
    checks.equal(host.activationCount, 2, "openTitle activates two streams");
    checks.that(host.activated[0] == video->streamId && host.activated[1] == audio->streamId,
                "the video stream is activated first, then the sound");
    checks.that(host.activationValues[0] == 1 && host.activationValues[1] == 1, "activation value 1");
    checks.equal(video->getKind(), kKindVideo, "the first stream is the video");
    checks.equal(audio->getKind(), kKindAudio, "the second stream is the sound");
    return true;
}

void checkStreamSlots(Checks& checks, StreamInterface* stream)
{
    checks.equal(stream->getDuration(), kDurationMs, "getDuration");
    int32_t first = 7;
    int32_t second = 7;
    stream->getValuePair(&first, &second);
    checks.that(first == 0 && second == 0, "getValuePair");
    checks.that(!stream->queryOption(1, 2, 3, 4), "queryOption is false");
    checks.that(!stream->queryFeature(1), "queryFeature is false");
    checks.equal(stream->getStreamTag(), 0, "getStreamTag");
    checks.equal(stream->getPosition(), 0, "getPosition before reading");
    checks.that(!stream->isEndOfStream(), "not at the end before reading");
    stream->setHostValue(-5);
    checks.equal(stream->getHostValue(), -5, "the host value comes back");
    checks.that(stream->setReadMode(1), "setReadMode");
    checks.equal(stream->getReadMode(), 1, "getReadMode");
    checks.that(stream->setReadSpeed(1000), "setReadSpeed");
    checks.equal(stream->getReadSpeed(), 1000, "getReadSpeed");
    const uint32_t masks[] = {0, 1};
    for (uint32_t mask : masks) {
        List<StreamInterface*> associated = stream->getAssociatedStreams(mask);
        checks.that(associated.count == 0 && !associated.head && !associated.tail,
                    "getAssociatedStreams is empty");
        checks.that(associated.allocator != nullptr, "the stream list carries its allocator");
    }
}

// The chunk's own property records hold their defaults; the rectangles are
// reached through their own vtables, which return int and double.
void checkChunkRecords(Checks& checks, MediaChunk* chunk)
{
    ImageProperties& image = chunk->imageProperties;
    checks.that(image.width == 0 && image.height == 0, "a chunk's image size is 0");
    checks.that(image.factor1 == 1 && image.factor2 == 1 && image.factor3 == 1, "a chunk's factors are 1");
    checks.that(image.extra == 0 && !image.flag, "a chunk's last image fields are 0");
    Rect<int32_t>* inclusive = opaque(static_cast<Rect<int32_t>*>(&image.rectInt));
    Rect<double>* halfOpen = opaque(static_cast<Rect<double>*>(&image.rectFloat));
    checks.that(inclusive->width() == 1 && inclusive->height() == 1, "RectInt counts both edges");
    checks.that(halfOpen->width() == 0.0 && halfOpen->height() == 0.0, "RectFloat is half-open");
    checks.that(halfOpen->left == 0.0 && halfOpen->bottom == 0.0, "RectFloat's doubles sit where this ABI puts them");
    checks.that(chunk->audioProperties.sampleRate == 0 && chunk->audioProperties.channels == 0,
                "a chunk's audio properties are 0");
    checks.that(chunk->owner != nullptr && chunk->reserved1 == 0 && chunk->reserved2 == 0, "a chunk's owner");
}

// Reads one video chunk; returns the sample its picture shows, or -1.
long long readPicture(Checks& checks, StreamInterface* video, uint32_t* startMs)
{
    MediaChunk* chunk = nullptr;
    if (!checks.equal(video->readStream(&chunk), 0, "video readStream") ||
        !checks.that(chunk != nullptr, "video readStream hands out a chunk"))
        return -1;
    checks.equal(chunk->dataLength, kWidth * kHeight * 2, "a YUY2 picture's dataLength");
    checks.that(chunk->dataSize == chunk->dataLength && chunk->data, "the picture's block");
    unsigned char* bytes = chunk->lockData();
    checks.that(bytes == chunk->data, "lockData returns data");
    uint32_t sample = sampleOfPicture(bytes);
    chunk->unlockData();
    checks.equal(chunk->startTime, sampleStartMs(sample), "the picture's startTime");
    checks.equal(chunk->duration, 33, "the picture's duration");
    *startMs = chunk->startTime;
    checkChunkRecords(checks, chunk);
    chunk->release();
    return sample;
}

void readVideo(Checks& checks, StreamInterface* video)
{
    ScriptedClock clock;
    checks.equal(video->openStream(&clock), 0, "video openStream");
    StreamFormat* format = video->getFormat();
    checks.that(sameBytes(format->words, "YUY2\0\0\0\0", 8) && format->words[3] == 1, "the video format");
    ImageProperties* image = static_cast<ImageProperties*>(video->getProperties());
    checks.that(image->width == int32_t(kWidth) && image->height == int32_t(kHeight), "the video's size");
    uint32_t start = 0;
    checks.equal(readPicture(checks, video, &start), 0, "the first picture is sample 0");
    checks.equal(readPicture(checks, video, &start), 1, "then sample 1");
    checks.equal(video->getPosition(), sampleStartMs(1) + 33, "getPosition follows the reads");

    uint32_t sync = 0;
    checks.equal(video->getSyncPoint(1000, 500, &sync), 0, "getSyncPoint");
    checks.equal(sync, sampleStartMs(kSyncEvery), "the sync point before 500 ms");
    uint32_t actual = 0;
    checks.equal(video->seekStream(500, &actual, 0), 0, "video seekStream");
    checks.equal(actual, sync, "the seek lands on the sync point");
    checks.equal(readPicture(checks, video, &start), kSyncEvery, "reading resumes at the sync sample");

    checks.that(video->setReadSpeed(-1000), "reverse speed");
    long long before = readPicture(checks, video, &start);
    checks.equal(readPicture(checks, video, &start), before - 1, "reading backwards steps back");
    checks.that(video->setReadSpeed(1000), "forward speed again");
    readPicture(checks, video, &start);

    // A clock running at 800 ms: the stream jumps to the first sync sample
    // at or past 810 ms.
    clock.running = true;
    clock.timeMs = 800;
    checks.equal(readPicture(checks, video, &start), 3 * kSyncEvery, "catch-up jumps to the sync sample");
    checks.that(clock.runningQueries > 0 && clock.timeQueries > 0, "the stream asks the host's clock");
    clock.running = false;

    checks.equal(video->rewindStream(), 0, "video rewindStream");
    checks.equal(readPicture(checks, video, &start), 0, "rewind returns to sample 0");
    checks.equal(video->closeStream(), 0, "video closeStream");
}

void readAudio(Checks& checks, StreamInterface* audio)
{
    ScriptedClock clock;
    checks.equal(audio->openStream(&clock), 0, "audio openStream");
    StreamFormat* format = audio->getFormat();
    checks.that(format->words[0] == 1 && format->words[3] == 2, "the audio format");
    AudioProperties* properties = static_cast<AudioProperties*>(audio->getProperties());
    checks.that(properties->sampleRate == int32_t(kSampleRate) && properties->channels == 2 &&
                    properties->bitsPerSample == 16,
                "the audio properties");
    uint32_t sync = 0;
    checks.equal(audio->getSyncPoint(1000, 250, &sync), 0, "audio getSyncPoint");
    checks.equal(sync, 250, "every time is an audio sync point");

    uint32_t actual = 0;
    checks.equal(audio->seekStream(500, &actual, 0), 0, "audio seekStream");
    checks.equal(actual, 500, "the audio seek reaches 500 ms");
    MediaChunk* chunk = nullptr;
    checks.equal(audio->readStream(&chunk), 0, "audio readStream");
    if (!checks.that(chunk != nullptr, "audio readStream hands out a chunk"))
        return;
    const uint32_t firstFrame = kSampleRate / 2;
    checks.equal(chunk->dataSize, (kFrames - firstFrame) * 4, "the rest of the sound in one chunk");
    checks.equal(chunk->startTime, 500, "the chunk starts at the seek");
    checks.equal(chunk->duration, 1500, "and lasts to the end");
    const short* pcm = reinterpret_cast<const short*>(chunk->lockData());
    checks.that(pcm[0] == pcmValue(firstFrame, 0) && pcm[1] == pcmValue(firstFrame, 1) &&
                    pcm[200] == pcmValue(firstFrame + 100, 0),
                "the PCM values of the frames at 500 ms");
    chunk->unlockData();
    chunk->release();
    checks.equal(audio->getPosition(), 2000, "the audio position after the last chunk");

    // Reading backwards with a running clock delivers nothing.
    checks.that(audio->setReadSpeed(-1000), "audio reverse speed");
    clock.running = true;
    clock.timeMs = 1000;
    chunk = nullptr;
    checks.equal(audio->readStream(&chunk), kFailure, "no sound while the clock runs backwards");
    checks.that(chunk == nullptr, "and no chunk");
    clock.running = false;
    checks.equal(audio->closeStream(), 0, "audio closeStream");
}

void closeTitle(Checks& checks, ContainerInterface* container, RecordingContainerHost& host)
{
    checks.equal(container->closeTitle(false), 0, "closeTitle");
    checks.equal(host.removedCount, 2, "closeTitle removes both streams");
    const uint64_t first = RecordingContainerHost::kFirstId;
    checks.that(host.removed[0] != host.removed[1] && host.removed[0] + host.removed[1] == 2 * first + 3,
                "removeStream gets each stream's id, above 2^32");
    checks.equal(host.unknownRemovals, 0, "removeStream names the host's streams");
    checks.that(host.rawlyDestroyed && host.slotZeroReturned == host.rawlyDestroyed,
                "slot 0 with flags 1 returns the object's address");
}

} // namespace

uint32_t syntheticRoad()
{
    Checks checks;
    Bytes document;
    appendSyntheticMovie(document, kMovieName, textLength(kMovieName));
    TemporaryMovie movie(document);
    checks.that(movie.written(), "the movie is written to the temporary folder");
    Session session(checks);
    if (!movie.written() || !session.ready())
        return checks.verdict("synthetic road");
    ContainerInterface* container = session.container;
    if (checkMimeTypes(checks, container)) {
        checkPluginSlots(checks, session);
        checkIdentity(checks, container, session.containerHost);
        Bytes url;
        appendFileUrl(url, movie.path());
        checks.equal(openLocation(container, url.text()), 0, "canOpen and open the movie");
        checkOpenedMovie(checks, container, movie);
        if (openTitle(checks, container, session.containerHost)) {
            checkStreamSlots(checks, session.containerHost.streams[0]);
            checkStreamSlots(checks, session.containerHost.streams[1]);
            readVideo(checks, session.containerHost.streams[0]);
            readAudio(checks, session.containerHost.streams[1]);
            closeTitle(checks, container, session.containerHost);
        }
        checks.equal(container->close(), 0, "close");
        session.release();
    } else {
        session.abandon();
    }
    return checks.verdict("synthetic road");
}

} // namespace Host
