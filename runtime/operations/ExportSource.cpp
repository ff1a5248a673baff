// The movie-export component and its export sources: a source hands out
// the samples of one video track through an ordinary C data function.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <mutex>

#include "operations/RuntimeObjects.h"
#include "source/RuntimeStatus.h"
#include "operations/SampleTable.h"
#include "frame/RuntimeDispatch.h"

namespace QelRuntime {

namespace {

constexpr QtOSType kExportType = fourCc('s', 'p', 'i', 't');
constexpr QtOSType kExportSubType = fourCc('M', 'o', 'o', 'V');
constexpr QtOSType kExportMaker = fourCc('a', 'p', 'p', 'l');
constexpr uint32_t kExportFlags = 0x88000;
constexpr QtOSType kVideoType = fourCc('v', 'i', 'd', 'e');
constexpr uint32_t kNotSyncSampleFlag = 1;
constexpr size_t kCreateParams = 9;
constexpr size_t kDisposeParams = 3;

// The one component of this runtime: a value, not an object, and never one
// of the registry's handles (those are multiples of 16).
const QtComponent kExportComponent = handleOf<QtComponent>(0x53504974);

bool matches(QtOSType wanted, QtOSType actual)
{
    return wanted == 0 || wanted == actual;
}

QtStatus injectedStatus(FaultPlan* faults, const char* operation)
{
    const Fault* fault = faults != nullptr ? faults->call(operation) : nullptr;
    return fault != nullptr && fault->status ? QtStatus(*fault->status) : 0;
}

extern "C" QtStatus exportPropertyFunction(void*, int32_t, QtOSType, void*)
{
    return kQtParamError;
}

// The scale the data function exchanges times in: the one the source's
// creation handed back, or where the modes say the exporter honours it, the
// request's own.
int32_t exchangeScale(const ExportSourceObject& source, const MovieObject& movie, const QtSampleRequest& request)
{
    const bool honoursRequest = movie.modes.exportScale == RuntimeModes::ExportScale::Request;
    return honoursRequest && request.sourceTimeScale > 0 ? request.sourceTimeScale : source.timeScale;
}

// A time of the exchange scale as the movie unit that holds it.
int64_t toMovieUnits(int64_t time, int32_t scale, int32_t movieScale)
{
    return time * movieScale / scale;
}

// A sample's start or end in movie units as the first time of the exchange
// scale at or after it, so that asking for that time answers the sample.
QtTimeValue fromMovieUnits(int64_t time, int32_t scale, int32_t movieScale)
{
    const int64_t product = time * scale;
    const int64_t converted = product / movieScale + (product % movieScale != 0 ? 1 : 0);
    return QtTimeValue(std::min<int64_t>(converted, INT32_MAX));
}

QtStatus fillRequest(ExportSourceObject& source, MovieObject& movie, QtSampleRequest& request)
{
    const Fault* fault = movie.faults.call(kExportDataFunction, source.track);
    if (fault != nullptr && fault->status)
        return QtStatus(*fault->status);
    const TrackModel& track = movie.track(source.track);
    if (request.requestedTime < 0 || track.samples.empty())
        return kQtParamError;
    const int32_t scale = exchangeScale(source, movie, request);
    const int32_t movieScale = movie.model().timeScale;
    const int64_t requested = toMovieUnits(request.requestedTime, scale, movieScale);
    QtTimeValue last = source.duration > 0 ? source.start + source.duration - 1 : source.start;
    int32_t index = sampleCovering(track.samples, QtTimeValue(std::clamp<int64_t>(requested, source.start, last)));
    if (QtStatus status = movie.source->videoSample(source.track, index, source.sampleBytes))
        return status;
    const SampleEntry& sample = track.samples[size_t(index)];
    const DescriptionHandle& description = movie.descriptions[size_t(source.track - 1)][size_t(sample.descriptionIndex)];
    request.actualTime = fromMovieUnits(sample.time, scale, movieScale);
    request.data = source.sampleBytes.data;
    request.dataSize = int32_t(source.sampleBytes.size);
    request.description = description.handle;
    request.descriptionType = kVideoType;
    request.descriptionSeed = description.seed;
    request.actualSampleCount = 1;
    request.durationPerSample =
        fromMovieUnits(int64_t(sample.time) + sample.duration, scale, movieScale) - request.actualTime;
    request.sampleFlags = sample.sync ? 0 : kNotSyncSampleFlag;
    if (fault != nullptr && fault->descriptionType)
        request.descriptionType = *fault->descriptionType;
    if (fault != nullptr && fault->nullDescription)
        request.description = nullptr;
    return 0;
}

extern "C" QtStatus exportDataFunction(void* context, QtSampleRequest* request)
{
    RuntimeState& state = runtimeState();
    std::lock_guard<std::recursive_mutex> guard(state.lock);
    auto* source = state.registry.find<ExportSourceObject>(context);
    MovieObject* movie = source != nullptr ? state.movie(source->movie) : nullptr;
    if (movie == nullptr || request == nullptr)
        return kQtParamError;
    return fillRequest(*source, *movie, *request);
}

// Parameter `index` of the block; the block holds as many slots as its byte
// count says, beyond the one the record declares.
template <class T>
T param(const QtComponentParams& block, size_t index)
{
    const auto* slots = reinterpret_cast<const uintptr_t*>(reinterpret_cast<const char*>(&block) +
                                                           offsetof(QtComponentParams, params));
    return argumentAs<T>(slots[index]);
}

QtLongStatus createExportSource(uintptr_t instance, const QtComponentParams& block)
{
    RuntimeState& state = runtimeState();
    auto* movie = state.registry.find<MovieObject>(param<QtMovie>(block, 2));
    auto* track = state.registry.find<TrackObject>(param<QtTrack>(block, 3));
    auto* propertyFunction = param<QtExportPropertyFunction*>(block, 6);
    auto* dataFunction = param<QtExportDataFunction*>(block, 7);
    auto* context = param<void**>(block, 8);
    QtTimeValue start = param<QtTimeValue>(block, 4);
    QtTimeValue duration = param<QtTimeValue>(block, 5);
    if (param<QtOSType>(block, 0) != kVideoType || movie == nullptr || track == nullptr ||
        track->movie != handleValue(param<QtMovie>(block, 2)) || movie->track(track->index).descriptions.empty() ||
        start < 0 || duration < 0 || propertyFunction == nullptr || dataFunction == nullptr || context == nullptr)
        return kQtParamError;
    auto source = std::make_unique<ExportSourceObject>();
    source->movie = track->movie;
    source->track = track->index;
    source->start = start;
    source->duration = duration;
    source->dependsOn = {instance};  // closing the exporter disposes it; disposing the movie does not
    // The times of the data function are in the media's scale ("typically
    // the media's TimeScale", QA1304), which may differ from the movie's.
    const int32_t mediaScale = movie->track(track->index).mediaTimeScale;
    source->timeScale = mediaScale > 0 ? mediaScale : movie->model().timeScale;
    if (auto* timeScale = param<int32_t*>(block, 1))
        *timeScale = source->timeScale;
    *context = handleOf<void*>(state.registry.add(std::move(source)));
    *propertyFunction = exportPropertyFunction;
    *dataFunction = exportDataFunction;
    return 0;
}

QtLongStatus disposeExportSource(const QtComponentParams& block)
{
    RuntimeState& state = runtimeState();
    void* context = param<void*>(block, 2);
    if (param<QtExportPropertyFunction>(block, 0) != exportPropertyFunction ||
        param<QtExportDataFunction>(block, 1) != exportDataFunction ||
        state.registry.find<ExportSourceObject>(context) == nullptr)
        return kQtParamError;
    state.registry.dispose(handleValue(context));
    return 0;
}

} // namespace

QtComponent QtComponentFind(QtComponent previous, const QtComponentDescription* description)
{
    if (previous != nullptr || description == nullptr)
        return nullptr;
    bool found = matches(description->type, kExportType) && matches(description->subType, kExportSubType) &&
                 matches(description->manufacturer, kExportMaker) &&
                 (kExportFlags & description->flagsMask) == (description->flags & description->flagsMask);
    return found ? kExportComponent : nullptr;
}

QtStatus QtComponentOpen(QtComponent component, QtComponentInstance* instance)
{
    RuntimeState& state = runtimeState();
    if (component != kExportComponent || instance == nullptr)
        return kQtParamError;
    if (QtStatus injected = injectedStatus(state.currentFaults(), "QtComponentOpen"))
        return injected;
    *instance = handleOf<QtComponentInstance>(state.registry.add(std::make_unique<ComponentInstanceObject>()));
    return 0;
}

QtStatus QtComponentClose(QtComponentInstance instance)
{
    RuntimeState& state = runtimeState();
    if (state.registry.find<ComponentInstanceObject>(instance) == nullptr)
        return kQtParamError;
    if (QtStatus injected = injectedStatus(state.currentFaults(), "QtComponentClose"))
        return injected;
    state.registry.dispose(handleValue(instance));
    return 0;
}

QtLongStatus QtComponentRequest(QtComponentInstance instance, QtComponentParams* block)
{
    RuntimeState& state = runtimeState();
    if (state.registry.find<ComponentInstanceObject>(instance) == nullptr || block == nullptr)
        return kQtParamError;
    if (QtStatus injected = injectedStatus(state.currentFaults(), "QtComponentRequest"))
        return injected;
    size_t slots = block->paramBytes / sizeof(uintptr_t);
    bool exact = block->paramBytes % sizeof(uintptr_t) == 0;
    if (block->what == kQtExportSourceCreateRequest)
        return exact && slots == kCreateParams ? createExportSource(handleValue(instance), *block) : kQtParamError;
    if (block->what == kQtExportSourceDisposeRequest)
        return exact && slots == kDisposeParams ? disposeExportSource(*block) : kQtParamError;
    return kQtBadComponentSelector;
}

} // namespace QelRuntime
