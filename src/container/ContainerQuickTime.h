// The plug-in's one component: a container that opens a local movie with
// the QuickTime runtime and presents it to the host as one title whose
// sound and video tracks become streams.
//
// Lifecycle: getPlugin constructs it with one reference; the host then calls
// initialize, optionally canOpen, open, getTitles, openTitle, closeTitle and
// close, and drops the last reference, which destroys the object (through
// either view). A closed container may open another movie.
//
// Ownership: the container owns its movie and its strings, and holds its
// MediaBufferAllocator with the chunks still out. Streams are created by
// openTitle and handed to the host at once (addStream); the container keeps
// their pointers to name them in activateStream and removeStream, and never
// deletes one. A host may keep a stream past close and past the container:
// closing the movie ends the runtime work of every stream still alive, and
// the container's destruction unties them from it.
//
// Threads: close, openTitle and closeTitle hold the recursive lock; open,
// canOpen and the getters take none and must not overlap each other or
// initialize. The streams (nested classes) read movie, timeScale, duration,
// durationMs, allocator and containerHost directly.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <boost/thread/recursive_mutex.hpp>

#include "media/String.h"
#include "plugin/ContainerInterface.h"
#include "plugin/Plugin.h"
#include "quicktime/QtTypes.h"

class MediaBufferAllocator;

namespace Qel {

class StreamInterface;

class ContainerQuickTime : public Plugin, public ContainerInterface {
    QEL_DESTRUCTOR_SLOT(ContainerQuickTime)
public:
    class AudioStream;
    class VideoStream;
    class MovieDependent;

    explicit ContainerQuickTime(PluginHost* host);

    int32_t queryInterface(const String<char>& id, void** out) override;

    void initialize(ContainerHost* host, uint64_t containerId) override;
    bool canOpen(const Location* location, uint32_t, uint32_t, uint32_t) override;
    void reserved3(uint32_t) override;
    int32_t reserved4(uint32_t) override;
    // 0x80800001 for a location without text or whose text is no local
    // file URL; the path is replaced before any other check. 0x80100001
    // with no movie loaded when memory runs out.
    int32_t open(const Location* location) override;
    String<unsigned char>* getPath(String<unsigned char>* result) override;
    int32_t close() override;
    List<uint64_t>* getTitles(List<uint64_t>* result) override;
    String<unsigned char>* getTitleName(String<unsigned char>* result, uint64_t titleId) override;
    // 0x80100001 for another title id, before initialize (no host to take
    // the streams), with no movie loaded, or out of memory (then every
    // stream this call handed over is taken back).
    int32_t openTitle(uint64_t titleId) override;
    int32_t closeTitle(bool leaveOpen) override;
    int32_t getFileSize(uint64_t* size) override;
    int32_t getMimeTypePriority(const String<unsigned char>& mimeType) override;
    uint32_t getMimeTypeCount() override;
    String<unsigned char>* getMimeType(String<unsigned char>* result, uint32_t index) override;
    int32_t getMimeTypePriorityAt(uint32_t index) override;

    // duration × 1000 / timeScale with a signed 64-bit product, an unsigned
    // 64-bit division and the low 32 bits kept. timeScale must be positive.
    static uint32_t durationToMs(int32_t duration, int32_t timeScale);

protected:
    ~ContainerQuickTime();

private:
    // Orders MIME type keys as NUL-terminated byte strings (null data counts
    // as empty), the order of standard strings.
    struct MimeTypeOrder {
        bool operator()(const String<unsigned char>& a, const String<unsigned char>& b) const;
    };

    static bool QtRuntimeAcquire();
    static int32_t urlToPath(const Location* location, std::string& out);
    static QtStatus QtFileSpecFromPath(const std::string& path, QtFileSpec* spec);
    static bool canQuickTimeOpenPath(const std::string& path);

    // The steps of open.
    int32_t openLocation(const Location* location);
    int32_t loadMovie();
    bool isRefusedKind(QtUserData userData) const;
    void readTitle(QtUserData userData, std::string& name) const;
    int32_t readTiming();
    void addTrackStreams();
    void addTrackStream(int32_t trackIndex, QtTrack track, QtOSType mediaType);
    template <class Stream>
    StreamInterface* makeStream(int32_t trackIndex, QtTrack track);
    void activateFirstStreams();
    StreamInterface* firstEnabledAudioStream() const;
    void removeStreams(std::vector<StreamInterface*>& streams, size_t keep = 0);
    void releaseMovieOfStreams();
    void forgetStreamsOutliving();
    void forgetDependent(MovieDependent* stream);

    uint64_t titleId;
    boost::recursive_mutex lock;  // guards movie and the stream lists in close, openTitle, closeTitle
    QtMovie movie;
    std::vector<StreamInterface*> audioStreams;  // in track order; not owned
    std::vector<StreamInterface*> videoStreams;  // in track order; not owned
    // Every stream made by this container that the host has not destroyed,
    // listed or removed; not owned.
    std::vector<MovieDependent*> dependents;
    std::string path;   // local file path, UTF-8
    std::string title;  // the movie's name as stored in the movie
    int32_t timeScale;
    int32_t duration;
    uint32_t durationMs;
    MediaBufferAllocator* allocator;  // owned
    std::map<String<unsigned char>, int32_t, MimeTypeOrder> mimeTypes;

    // Successful runtime acquisitions by every container of the module; the
    // runtime stays started once acquired. Plain arithmetic: open and canOpen
    // are serialised by the host.
    static int32_t runtimeUsers;
};

// What a stream made by the container does when the movie it reads is
// disposed, and when the container is destroyed while the host keeps it.
class ContainerQuickTime::MovieDependent {
public:
    // Ends the stream's runtime work on the movie (as closeStream does) and
    // forgets its track: the stream can no longer be opened.
    virtual void releaseMovie() = 0;
    virtual void forgetContainer() = 0;

protected:
    ~MovieDependent() = default;
};

} // namespace Qel
