// Movies, their user data, and handles.
#include <algorithm>
#include <cstring>

#include "operations/RuntimeObjects.h"
#include "source/RuntimeStatus.h"
#include "operations/StrictLifetimes.h"
#include "frame/RuntimeDispatch.h"

namespace QelRuntime {

namespace {

constexpr QtOSType kCtyp = fourCc('c', 't', 'y', 'p');
constexpr QtOSType kNameText = 0xA96E616D;  // '©nam'

MovieObject* findMovie(QtMovie movie)
{
    return runtimeState().registry.find<MovieObject>(movie);
}

// The movie's user data items; null for an unknown handle.
const UserDataModel* userDataOf(QtUserData userData)
{
    RuntimeState& state = runtimeState();
    auto* object = state.registry.find<UserDataObject>(userData);
    MovieObject* movie = object != nullptr ? state.movie(object->movie) : nullptr;
    return movie != nullptr ? &*movie->model().userData : nullptr;
}

// Callers pass 0 or 1 for the first (and only) item of a type.
bool isFirstItem(int32_t index)
{
    return index == 0 || index == 1;
}

// The status an injected fault makes a movie operation answer, or 0.
QtStatus injectedStatus(MovieObject* movie, const char* operation)
{
    const Fault* fault = movie != nullptr ? movie->faults.call(operation) : nullptr;
    return fault != nullptr && fault->status ? QtStatus(*fault->status) : 0;
}

MovieObject* movieOfUserData(QtUserData userData)
{
    RuntimeState& state = runtimeState();
    auto* object = state.registry.find<UserDataObject>(userData);
    return object != nullptr ? state.movie(object->movie) : nullptr;
}

} // namespace

FaultPlan* RuntimeState::currentFaults()
{
    MovieObject* current = movie(currentMovie);
    return current != nullptr ? &current->faults : nullptr;
}

RuntimeState& runtimeState()
{
    static RuntimeState state;
    return state;
}

void QtMovieDispose(QtMovie movie)
{
    RuntimeState& state = runtimeState();
    reportOutliving(state, handleValue(movie));
    state.registry.dispose(handleValue(movie));
}

QtTimeValue QtMovieDuration(QtMovie movie)
{
    MovieObject* object = findMovie(movie);
    return object != nullptr ? object->model().duration : 0;
}

int32_t QtMovieTimeScale(QtMovie movie)
{
    MovieObject* object = findMovie(movie);
    return object != nullptr ? object->model().timeScale : 0;
}

QtTimeBase QtMovieTimeBase(QtMovie movie)
{
    MovieObject* object = findMovie(movie);
    return object != nullptr ? handleOf<QtTimeBase>(object->timeBase) : nullptr;
}

QtUserData QtMovieUserData(QtMovie movie)
{
    MovieObject* object = findMovie(movie);
    return object != nullptr ? handleOf<QtUserData>(object->userData) : nullptr;
}

int32_t QtMovieTrackCount(QtMovie movie)
{
    MovieObject* object = findMovie(movie);
    return object != nullptr ? int32_t(object->tracks.size()) : 0;
}

QtStatus QtUserDataItem(QtUserData userData, void* buffer, int32_t size, QtOSType type, int32_t index)
{
    const UserDataModel* items = userDataOf(userData);
    if (items == nullptr || buffer == nullptr || size < 0)
        return kQtParamError;
    if (QtStatus injected = injectedStatus(movieOfUserData(userData), "QtUserDataItem"))
        return injected;
    if (type == kCtyp && items->ctyp && isFirstItem(index)) {
        const uint8_t bytes[4] = {uint8_t(*items->ctyp >> 24), uint8_t(*items->ctyp >> 16),
                                  uint8_t(*items->ctyp >> 8), uint8_t(*items->ctyp)};
        std::memcpy(buffer, bytes, size_t(std::min(size, 4)));
        return 0;
    }
    if (type == kNameText && items->name && isFirstItem(index)) {
        std::memcpy(buffer, items->name->data(), std::min(size_t(size), items->name->size()));
        return 0;
    }
    return kQtUserDataItemNotFound;
}

QtStatus QtUserDataText(QtUserData userData, QtHandle text, QtOSType type, int32_t index, int16_t language)
{
    RuntimeState& state = runtimeState();
    const UserDataModel* items = userDataOf(userData);
    if (items == nullptr || !state.registry.isCallerHandle(text))
        return kQtParamError;
    if (QtStatus injected = injectedStatus(movieOfUserData(userData), "QtUserDataText"))
        return injected;
    if (type != kNameText || !items->name || !isFirstItem(index))
        return kQtUserDataItemNotFound;
    state.registry.resizeHandle(text, items->name->size());
    std::memcpy(*text, items->name->data(), items->name->size());
    return 0;
}

QtHandle QtHandleNew(int32_t size)
{
    return size >= 0 ? runtimeState().registry.newHandle(size_t(size)) : nullptr;
}

int32_t QtHandleSize(QtHandle handle)
{
    return int32_t(runtimeState().registry.handleSize(handle));
}

void QtHandleDispose(QtHandle handle)
{
    runtimeState().registry.disposeHandle(handle);
}

} // namespace QelRuntime
