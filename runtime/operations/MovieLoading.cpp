#include "operations/MovieLoading.h"

#include <cstring>

namespace QelRuntime {

namespace {

// Description seeds are unique in the process, so a seed identifies one
// description of one movie.
int32_t nextDescriptionSeed()
{
    static int32_t lastSeed = 0;
    return ++lastSeed;
}

template <class T>
uintptr_t addDependent(Registry& registry, std::unique_ptr<T> object, uintptr_t movie)
{
    object->dependsOn.push_back(movie);
    return registry.add(std::move(object));
}

void addTrack(RuntimeState& state, MovieObject& movie, uintptr_t movieHandle, int32_t index)
{
    Registry& registry = state.registry;
    auto track = std::make_unique<TrackObject>();
    track->movie = movieHandle;
    track->index = index;
    movie.tracks.push_back(addDependent(registry, std::move(track), movieHandle));
    auto media = std::make_unique<MediaObject>();
    media->movie = movieHandle;
    media->index = index;
    movie.media.push_back(addDependent(registry, std::move(media), movieHandle));

    const TrackModel& model = movie.track(index);
    movie.enabled.push_back(model.enabled);
    std::vector<DescriptionHandle>& descriptions = movie.descriptions.emplace_back();
    for (const QtImageDescription& description : model.descriptions) {
        QtHandle handle = registry.newHandle(sizeof(QtImageDescription), movieHandle);
        std::memcpy(*handle, &description, sizeof description);
        descriptions.push_back({handle, nextDescriptionSeed()});
        state.descriptionOwners[handle] = {movieHandle, index};
    }
}

} // namespace

uintptr_t loadMovie(RuntimeState& state, std::unique_ptr<MovieSource> source)
{
    auto object = std::make_unique<MovieObject>();
    MovieObject& movie = *object;
    movie.source = std::move(source);
    movie.faults = FaultPlan(&movie.model().faults);
    movie.modes = runtimeModesFromEnvironment();
    state.strictLifetimes = movie.modes.strict;
    uintptr_t handle = state.registry.add(std::move(object));
    int32_t trackCount = int32_t(movie.model().tracks.size());
    for (int32_t index = 1; index <= trackCount; ++index)
        addTrack(state, movie, handle, index);
    if (movie.model().userData) {
        auto userData = std::make_unique<UserDataObject>();
        userData->movie = handle;
        movie.userData = addDependent(state.registry, std::move(userData), handle);
    }
    movie.timeBase = addDependent(state.registry, std::make_unique<TimeBaseObject>(), handle);
    state.currentMovie = handle;
    return handle;
}

} // namespace QelRuntime
