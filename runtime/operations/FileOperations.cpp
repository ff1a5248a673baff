// Movie files: file specs, probing, opening, loading and closing. The
// document of a file is read afresh for each of these operations, so their
// injected faults count every call as call 1.
#include <cstdio>
#include <cstring>

#include "source/MovieFile.h"
#include "operations/MovieLoading.h"
#include "operations/RuntimeObjects.h"
#include "source/RuntimeStatus.h"
#include "frame/RuntimeDispatch.h"

namespace QelRuntime {

namespace {

constexpr QtOSType kMovieFileType = fourCc('M', 'o', 'o', 'V');
constexpr int8_t kCurrentPermission = 0;
constexpr int8_t kReadPermission = 1;

std::string pathOf(const QtFileSpec& spec)
{
    return std::string(reinterpret_cast<const char*>(spec.name + 1), spec.name[0]);
}

const MovieSourceFactory* factoryFor(const std::string& path)
{
    for (const MovieSourceFactory* factory : movieSourceFactories())
        if (factory->accepts(path))
            return factory;
    return nullptr;
}

// The status an injected fault makes `operation` answer on this file, or 0.
QtStatus fileFault(const MovieSourceFactory* factory, const std::string& path, const char* operation)
{
    if (factory == nullptr)
        return 0;
    std::vector<Fault> faults = factory->fileFaults(path);
    const Fault* fault = FaultPlan(&faults).call(operation);
    return fault != nullptr && fault->status ? QtStatus(*fault->status) : 0;
}

} // namespace

QtStatus QtMoviesStart()
{
    return 0;
}

QtStatus QtFileSpecMake(int16_t volume, int32_t directory, const unsigned char* countedPath, QtFileSpec* spec)
{
    if (countedPath == nullptr || spec == nullptr)
        return kQtParamError;
    spec->volume = volume;
    spec->directory = directory;
    std::memcpy(spec->name, countedPath, size_t(countedPath[0]) + 1);
    return fileExists(pathOf(*spec)) ? 0 : kQtFileNotFound;
}

// Fills the whole Finder record, as the runtime does: a caller that passes
// less room than 16 bytes is overrun here as it would be there.
QtStatus QtFileType(const QtFileSpec* spec, QtFinderInfo* info)
{
    if (spec == nullptr || info == nullptr)
        return kQtParamError;
    std::string path = pathOf(*spec);
    if (!fileExists(path))
        return kQtFileNotFound;
    const MovieSourceFactory* factory = factoryFor(path);
    if (QtStatus injected = fileFault(factory, path, "QtFileType"))
        return injected;
    QtFinderInfo finderInfo = {};
    finderInfo.fileType = factory != nullptr ? kMovieFileType : 0;
    std::memcpy(info, &finderInfo, sizeof finderInfo);
    return 0;
}

QtStatus QtFileProbe(const QtFileSpec* spec, QtOSType fileType, int32_t extension, QtBoolean* canOpenAsImage,
                     QtBoolean* canOpenAsMovie, QtBoolean* preferImage, uint32_t flags)
{
    if (spec == nullptr)
        return kQtParamError;
    std::string path = pathOf(*spec);
    if (!fileExists(path))
        return kQtFileNotFound;
    const MovieSourceFactory* factory = factoryFor(path);
    if (QtStatus injected = fileFault(factory, path, "QtFileProbe"))
        return injected;
    if (canOpenAsImage != nullptr)
        *canOpenAsImage = 0;
    if (canOpenAsMovie != nullptr)
        *canOpenAsMovie = factory != nullptr ? 1 : 0;
    if (preferImage != nullptr)
        *preferImage = 0;
    return 0;
}

QtStatus QtMovieFileOpen(const QtFileSpec* spec, int16_t* fileRef, int8_t permission)
{
    if (spec == nullptr || fileRef == nullptr)
        return kQtParamError;
    if (permission != kCurrentPermission && permission != kReadPermission)
        return kQtPermissionError;
    std::string path = pathOf(*spec);
    if (!fileExists(path))
        return kQtFileNotFound;
    if (QtStatus injected = fileFault(factoryFor(path), path, "QtMovieFileOpen"))
        return injected;
    RuntimeState& state = runtimeState();
    do {
        state.lastFileRef = int16_t(state.lastFileRef == INT16_MAX ? 1 : state.lastFileRef + 1);
    } while (state.fileRefs.count(state.lastFileRef) != 0);
    state.fileRefs[state.lastFileRef] = path;
    *fileRef = state.lastFileRef;
    return 0;
}

QtStatus QtMovieLoad(QtMovie* movie, int16_t fileRef, int16_t* resourceId, unsigned char* name, int16_t flags,
                     QtBoolean* dataRefChanged)
{
    RuntimeState& state = runtimeState();
    auto file = state.fileRefs.find(fileRef);
    if (movie == nullptr || file == state.fileRefs.end())
        return kQtParamError;
    *movie = nullptr;
    const MovieSourceFactory* factory = factoryFor(file->second);
    if (QtStatus injected = fileFault(factory, file->second, "QtMovieLoad"))
        return injected;
    std::string error = "no movie source reads this file";
    std::unique_ptr<MovieSource> source = factory != nullptr ? factory->open(file->second, error) : nullptr;
    if (!source) {
        std::fprintf(stderr, "QuickTime.qts: %s: %s\n", file->second.c_str(), error.c_str());
        return kQtMovieNotFound;
    }
    *movie = handleOf<QtMovie>(loadMovie(state, std::move(source)));
    if (resourceId != nullptr)
        *resourceId = 0;
    if (dataRefChanged != nullptr)
        *dataRefChanged = 0;
    return 0;
}

QtStatus QtMovieFileClose(int16_t fileRef)
{
    RuntimeState& state = runtimeState();
    auto file = state.fileRefs.find(fileRef);
    if (file == state.fileRefs.end())
        return kQtParamError;
    if (QtStatus injected = fileFault(factoryFor(file->second), file->second, "QtMovieFileClose"))
        return injected;
    state.fileRefs.erase(file);
    return 0;
}

} // namespace QelRuntime
