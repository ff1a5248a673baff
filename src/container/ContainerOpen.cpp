// Opening a movie from the host's location, asking the runtime whether it
// can open one, and closing it.
#include <boost/thread/lock_guard.hpp>
#include <cstring>

#include "container/ContainerQuickTime.h"
#include "plugin/Location.h"
#include "plugin/ResultCodes.h"
#include "quicktime/QtLoader.h"
#include "quicktime/QtOperations.h"
#include "support/Log.h"
#include "support/OutOfMemoryGuard.h"
#include "support/Platform.h"
#include "support/TextConversion.h"

namespace Qel {

namespace {

constexpr int32_t kLoaderFlags = 64;
constexpr uint32_t kUrlPathCapacity = 260;  // wide characters, terminator included
constexpr size_t kMaxCountedPath = 255;
constexpr int8_t kReadPermission = 1;
constexpr int16_t kMovieLoadFlags = 0x0C1F;
constexpr QtOSType kKindItem = fourCc('c', 't', 'y', 'p');
constexpr QtOSType kNameItem = 0xA96E616D;  // 0xA9 'n' 'a' 'm'

bool isRefusedKindCode(QtOSType code)
{
    return code == fourCc('q', 't', 'v', 'r') || code == fourCc('S', 'T', 'p', 'n') ||
           code == fourCc('s', 't', 'n', 'a');
}

void disposeMovie(QtMovie& movie)
{
    QtMovieDispose(movie);
    movie = nullptr;
}

// Disposes a runtime handle on every way out, a failed allocation included.
struct ScopedHandle {
    QtHandle handle;
    ~ScopedHandle() { QtHandleDispose(handle); }
};

// Gives back an acquisition that led nowhere; the runtime stays started.
void dropRuntimeUser(int32_t& users)
{
    if (users > 0)
        --users;
}

} // namespace

// Starts the runtime for the first user of the module. It is never stopped
// after a successful start: it stays up for the life of the process.
bool ContainerQuickTime::QtRuntimeAcquire()
{
    if (runtimeUsers == 0) {
        if (QtLoaderInit(kLoaderFlags) != 0)
            return false;
        if (QtMoviesStart() != 0) {
            QtLoaderTerm();
            return false;
        }
    }
    ++runtimeUsers;
    return true;
}

// A location without text (a null location, a null text pointer or null
// data) has nothing to convert and fails like a text that is no file URL.
int32_t ContainerQuickTime::urlToPath(const Location* location, std::string& out)
{
    if (!location || !location->text || !location->text->data)
        return kResultNotALocalPath;
    std::string url(reinterpret_cast<const char*>(location->text->data), location->text->length);
    char16_t buffer[kUrlPathCapacity] = {};
    if (Platform::pathFromUrl(toWide(url), buffer, kUrlPathCapacity) < 0)
        return kResultNotALocalPath;
    out = toUtf8(std::u16string(buffer));
    return kResultSuccess;
}

QtStatus ContainerQuickTime::QtFileSpecFromPath(const std::string& path, QtFileSpec* spec)
{
    if (path.size() > kMaxCountedPath)
        return -1;
    unsigned char counted[kMaxCountedPath + 1];
    counted[0] = static_cast<unsigned char>(path.size());
    std::memcpy(counted + 1, path.data(), path.size());
    return QtFileSpecMake(0, 0, counted, spec);
}

uint32_t ContainerQuickTime::durationToMs(int32_t duration, int32_t timeScale)
{
    int64_t product = int64_t(duration) * 1000;
    return static_cast<uint32_t>(uint64_t(product) / uint64_t(int64_t(timeScale)));
}

// A path the runtime says it can open keeps its acquisition; any other
// answer gives it back.
bool ContainerQuickTime::canQuickTimeOpenPath(const std::string& path)
{
    if (!QtRuntimeAcquire())
        return false;
    QtFileSpec spec = {};
    if (QtFileSpecFromPath(path, &spec) != 0) {
        dropRuntimeUser(runtimeUsers);
        return false;
    }
    // The runtime writes a whole Finder record, not just the type.
    QtFinderInfo info = {};
    const QtOSType fileType = QtFileType(&spec, &info) == 0 ? info.fileType : 0;
    QtBoolean asImage = 0;
    QtBoolean asMovie = 0;
    QtStatus status = QtFileProbe(&spec, fileType, 0, &asImage, &asMovie, nullptr, 0);
    if (status == 0 && (asImage || asMovie))
        return true;
    dropRuntimeUser(runtimeUsers);
    return false;
}

// Out of memory (for the location's text as a path), the answer is no.
bool ContainerQuickTime::canOpen(const Location* location, uint32_t, uint32_t, uint32_t)
{
    return unlessOutOfMemory(
        [location] {
            std::string candidate;
            if (urlToPath(location, candidate) != kResultSuccess)
                return false;
            return canQuickTimeOpenPath(candidate);
        },
        [] { return false; });
}

// Out of memory anywhere on the way (the location's text as a path, the
// movie's name), open fails with 0x80100001 and nothing loaded: a movie this
// call loaded is disposed again. The title and timing stay as they were, as
// after any refused open; the path is what a refused open leaves too.
int32_t ContainerQuickTime::open(const Location* location)
{
    const bool hadMovie = movie != nullptr;
    return unlessOutOfMemory([this, location] { return openLocation(location); },
                             [this, hadMovie] {
                                 if (movie && !hadMovie)
                                     disposeMovie(movie);
                                 return kResultFailure;
                             });
}

// The path is replaced before the state checks, so a refused second open
// still changes what getPath reports.
int32_t ContainerQuickTime::openLocation(const Location* location)
{
    std::string converted;
    int32_t result = urlToPath(location, converted);
    if (result != kResultSuccess)
        return result;
    path.swap(converted);
    if (path.empty() || movie)
        return kResultFailure;
    if (!QtRuntimeAcquire())
        return kResultRuntimeNotStarted;
    result = loadMovie();
    if (result != kResultSuccess)
        return result;

    // Each movie starts from an empty title: one without a name must not
    // show the name of the movie this container held before.
    std::string name;
    QtUserData userData = QtMovieUserData(movie);
    if (userData) {
        if (isRefusedKind(userData)) {
            disposeMovie(movie);
            return kResultFailure;
        }
        readTitle(userData, name);
    }
    result = readTiming();
    if (result == kResultSuccess)
        title.swap(name);
    return result;
}

// Opens the file at path, loads the movie from it and closes the file.
int32_t ContainerQuickTime::loadMovie()
{
    QtFileSpec spec = {};
    if (QtFileSpecFromPath(path, &spec) != 0)
        return kResultFailure;
    int16_t fileRef = 0;
    if (QtMovieFileOpen(&spec, &fileRef, kReadPermission) != 0)
        return kResultFailure;
    QtStatus status = QtMovieLoad(&movie, fileRef, nullptr, nullptr, kMovieLoadFlags, nullptr);
    QtMovieFileClose(fileRef);
    if (status != 0 || !movie) {
        if (movie)
            disposeMovie(movie);
        return kResultFailure;
    }
    return kResultSuccess;
}

bool ContainerQuickTime::isRefusedKind(QtUserData userData) const
{
    unsigned char code[4] = {};
    if (QtUserDataItem(userData, code, sizeof code, kKindItem, 0) != 0)
        return false;
    return isRefusedKindCode(fourCc(char(code[0]), char(code[1]), char(code[2]), char(code[3])));
}

// The name is taken byte for byte as the movie stores it; a movie without
// one leaves name empty.
void ContainerQuickTime::readTitle(QtUserData userData, std::string& name) const
{
    const ScopedHandle text{QtHandleNew(0)};
    if (QtUserDataText(userData, text.handle, kNameItem, 1, 0) == 0) {
        int32_t size = QtHandleSize(text.handle);
        if (size > 0)
            name.assign(*text.handle, size_t(size));
    }
}

// A movie with time scale 0 has no duration in milliseconds, and the
// streams would divide by it on every time conversion; a negative one (a
// scale above 2^31 read back as signed) wraps every conversion, which
// divides unsigned. Either is refused and disposed, leaving the container
// empty and its title and timing fields unchanged.
int32_t ContainerQuickTime::readTiming()
{
    int32_t movieDuration = QtMovieDuration(movie);
    int32_t movieTimeScale = QtMovieTimeScale(movie);
    if (movieTimeScale <= 0) {
        disposeMovie(movie);
        return kResultFailure;
    }
    duration = movieDuration;
    timeScale = movieTimeScale;
    durationMs = durationToMs(duration, timeScale);
    QEL_LOG(kContainerOpen, "Movie duration: %ld time scale: %ld durationMS: %u", long(duration),
            long(timeScale), durationMs);
    return kResultSuccess;
}

// Takes every stream back from the host before the movie goes away, and
// ends the runtime work of those the host keeps: the runtime does not end
// it with the movie.
int32_t ContainerQuickTime::close()
{
    boost::lock_guard<boost::recursive_mutex> guard(lock);
    if (movie) {
        closeTitle(false);
        releaseMovieOfStreams();
        disposeMovie(movie);
    }
    return kResultSuccess;
}

} // namespace Qel
