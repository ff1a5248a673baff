// The container's single title: turning the movie's tracks into streams
// that the host takes over, activating the first of each kind, and taking
// them back.
#include <algorithm>

#include <boost/thread/lock_guard.hpp>

#include "container/ContainerQuickTime.h"
#include "plugin/ContainerHost.h"
#include "plugin/ResultCodes.h"
#include "quicktime/QtOperations.h"
#include "streams/AudioStream.h"
#include "streams/VideoStream.h"
#include "support/Log.h"
#include "support/OutOfMemoryGuard.h"

namespace Qel {

namespace {

constexpr QtOSType kVideoMedia = fourCc('v', 'i', 'd', 'e');
constexpr QtOSType kMpegVideoMedia = fourCc('m', '1', 'v', ' ');
constexpr QtOSType kSoundMedia = fourCc('s', 'o', 'u', 'n');
constexpr QtOSType kTextMedia = fourCc('t', 'e', 'x', 't');
constexpr uint32_t kActivate = 1;

} // namespace

// Streams are handed to the host one by one as they are made, so the lock
// is held across the host's callbacks and the stream constructors (the
// lock is recursive: a host may call back into the container). No streams
// can be made without a host to take them, and no tracks read without a
// movie: both cases fail with 0x80100001.
//
// Out of memory for a stream or for its place in the list, openTitle fails
// with 0x80100001 and takes back (removeStream, newest first) every stream
// this call had handed over, before any was activated; streams of an
// earlier openTitle stay.
int32_t ContainerQuickTime::openTitle(uint64_t id)
{
    if (id != titleId || !containerHost)
        return kResultFailure;
    boost::lock_guard<boost::recursive_mutex> guard(lock);
    if (!movie)
        return kResultFailure;

    const size_t videoStreamsBefore = videoStreams.size();
    const size_t audioStreamsBefore = audioStreams.size();
    return unlessOutOfMemory(
        [this] {
            addTrackStreams();
            activateFirstStreams();
            return kResultSuccess;
        },
        [this, videoStreamsBefore, audioStreamsBefore] {
            removeStreams(videoStreams, videoStreamsBefore);
            removeStreams(audioStreams, audioStreamsBefore);
            return kResultFailure;
        });
}

void ContainerQuickTime::addTrackStreams()
{
    int32_t trackCount = QtMovieTrackCount(movie);
    QEL_LOG(kContainerOpenTitle, "title has %lu tracks", static_cast<unsigned long>(trackCount));
    for (int32_t index = 1; index <= trackCount; ++index) {
        QtTrack track = QtMovieTrack(movie, index);
        QtMedia media = QtTrackMedia(track);
        // A media that reports no type is classified as unknown, type 0.
        QtOSType mediaType = 0;
        QtMediaType(media, &mediaType, nullptr, nullptr);
        addTrackStream(index, track, mediaType);
    }
}

// Room in the list of dependents is made before the stream, so that every
// stream is listed from its construction on.
template <class Stream>
StreamInterface* ContainerQuickTime::makeStream(int32_t trackIndex, QtTrack track)
{
    dependents.reserve(dependents.size() + 1);
    Stream* stream = new Stream(this, trackIndex, track);
    dependents.push_back(stream);
    return stream;
}

// A stream whose construction throws is freed by the new-expression. Room
// in the list is made first, so that a stream the host has taken is always
// listed.
void ContainerQuickTime::addTrackStream(int32_t trackIndex, QtTrack track, QtOSType mediaType)
{
    unsigned long logIndex = static_cast<unsigned long>(trackIndex);
    if (mediaType == kVideoMedia || mediaType == kMpegVideoMedia) {
        videoStreams.reserve(videoStreams.size() + 1);
        StreamInterface* stream = makeStream<VideoStream>(trackIndex, track);
        containerHost->addStream(stream);
        videoStreams.push_back(stream);
        QEL_LOG(kContainerOpenTitle, "  found video stream %lu\n", logIndex);
    } else if (mediaType == kSoundMedia) {
        audioStreams.reserve(audioStreams.size() + 1);
        StreamInterface* stream = makeStream<AudioStream>(trackIndex, track);
        containerHost->addStream(stream);
        audioStreams.push_back(stream);
        QEL_LOG(kContainerOpenTitle, "  found audio stream %lu\n", logIndex);
    } else if (mediaType == kTextMedia) {
        QEL_LOG(kContainerOpenTitle, "  ignoring text stream %lu", logIndex);
    } else {
        QEL_LOG(kContainerOpenTitle, "  found unknown stream %lu, type: %ld", logIndex,
                static_cast<long>(static_cast<int32_t>(mediaType)));
    }
}

// Only one stream of each kind is activated, video before audio: the first
// video stream, and the first sound stream whose track the file enables. A
// movie may carry its sound in several languages and enable only the one it
// plays: the host is to hear that one, and an extraction mixes every enabled
// track, as QuickTime plays the movie. A movie that enables no sound track
// has its first one activated.
void ContainerQuickTime::activateFirstStreams()
{
    if (!videoStreams.empty()) {
        uint64_t streamId = videoStreams.front()->getStreamId();
        containerHost->activateStream(streamId, kActivate);
        QEL_LOG(kContainerOpenTitle, "activating video stream %llu", static_cast<unsigned long long>(streamId));
    }
    if (!audioStreams.empty()) {
        uint64_t streamId = firstEnabledAudioStream()->getStreamId();
        containerHost->activateStream(streamId, kActivate);
        QEL_LOG(kContainerOpenTitle, "activating audio stream %llu", static_cast<unsigned long long>(streamId));
    }
}

StreamInterface* ContainerQuickTime::firstEnabledAudioStream() const
{
    for (StreamInterface* stream : audioStreams)
        if (static_cast<AudioStream*>(stream)->isTrackEnabled())
            return stream;
    return audioStreams.front();
}

int32_t ContainerQuickTime::closeTitle(bool leaveOpen)
{
    if (leaveOpen)
        return kResultSuccess;
    boost::lock_guard<boost::recursive_mutex> guard(lock);
    removeStreams(videoStreams);
    removeStreams(audioStreams);
    return kResultSuccess;
}

// Newest first, down to the first `keep` streams. Without a host (never
// initialised, or initialised again with null) there is nobody to give the
// streams back to: the list is only shortened.
void ContainerQuickTime::removeStreams(std::vector<StreamInterface*>& streams, size_t keep)
{
    while (streams.size() > keep) {
        if (containerHost)
            containerHost->removeStream(streams.back()->getStreamId());
        streams.pop_back();
    }
}

void ContainerQuickTime::releaseMovieOfStreams()
{
    for (MovieDependent* stream : dependents)
        stream->releaseMovie();
}

void ContainerQuickTime::forgetStreamsOutliving()
{
    boost::lock_guard<boost::recursive_mutex> guard(lock);
    for (MovieDependent* stream : dependents)
        stream->forgetContainer();
    dependents.clear();
}

// Called by a stream's destruction while the container exists.
void ContainerQuickTime::forgetDependent(MovieDependent* stream)
{
    boost::lock_guard<boost::recursive_mutex> guard(lock);
    dependents.erase(std::remove(dependents.begin(), dependents.end(), stream), dependents.end());
}

} // namespace Qel
