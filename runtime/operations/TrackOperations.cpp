// Tracks and their media: lookup, media type, enabled flag and the next
// interesting time.
#include "operations/RuntimeObjects.h"
#include "operations/SampleTable.h"
#include "frame/RuntimeDispatch.h"

namespace QelRuntime {

namespace {

struct TrackRef {
    MovieObject* movie = nullptr;
    int32_t index = 0;
};

template <class Object, class Handle>
TrackRef resolve(Handle handle)
{
    RuntimeState& state = runtimeState();
    auto* object = state.registry.find<Object>(handle);
    if (object == nullptr)
        return {};
    return {state.movie(object->movie), object->index};
}

} // namespace

QtTrack QtMovieTrack(QtMovie movie, int32_t index)
{
    MovieObject* object = runtimeState().registry.find<MovieObject>(movie);
    if (object == nullptr || index < 1 || index > int32_t(object->tracks.size()))
        return nullptr;
    return handleOf<QtTrack>(object->tracks[size_t(index - 1)]);
}

QtMedia QtTrackMedia(QtTrack track)
{
    TrackRef ref = resolve<TrackObject>(track);
    return ref.movie != nullptr ? handleOf<QtMedia>(ref.movie->media[size_t(ref.index - 1)]) : nullptr;
}

void QtMediaType(QtMedia media, QtOSType* mediaType, unsigned char* name, QtOSType* manufacturer)
{
    TrackRef ref = resolve<MediaObject>(media);
    if (ref.movie == nullptr || mediaType == nullptr)
        return;
    const Fault* fault = ref.movie->faults.call("QtMediaType", ref.index);
    const std::optional<QtOSType>& code = ref.movie->track(ref.index).mediaType;
    if (code && !(fault != nullptr && fault->noCode))
        *mediaType = *code;
}

void QtTrackEnable(QtTrack track, QtBoolean enabled)
{
    TrackRef ref = resolve<TrackObject>(track);
    if (ref.movie != nullptr)
        ref.movie->enabled[size_t(ref.index - 1)] = enabled != 0;
}

QtBoolean QtTrackEnabled(QtTrack track)
{
    TrackRef ref = resolve<TrackObject>(track);
    return ref.movie != nullptr && ref.movie->enabled[size_t(ref.index - 1)] ? 1 : 0;
}

void QtTrackNextTime(QtTrack track, int16_t flags, QtTimeValue time, int32_t rate, QtTimeValue* next,
                     QtTimeValue* duration)
{
    TrackRef ref = resolve<TrackObject>(track);
    if (ref.movie == nullptr || next == nullptr)
        return;
    const Fault* fault = ref.movie->faults.call("QtTrackNextTime", ref.index);
    const std::vector<SampleEntry>& samples = ref.movie->track(ref.index).samples;
    int32_t found = nextInterestingSample(samples, flags, time, rate);
    if (found >= 0 && fault != nullptr && fault->noneAfter && samples[size_t(found)].time > *fault->noneAfter)
        found = -1;
    *next = found >= 0 ? samples[size_t(found)].time : -1;
    if (duration != nullptr)
        *duration = found >= 0 ? samples[size_t(found)].duration : 0;
}

} // namespace QelRuntime
