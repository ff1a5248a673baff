// Surfaces over caller memory, and decompression of video samples into
// them. The decompressor draws a sample's picture at its own size, clipped
// to the surface; it scales nothing, so it accepts only the identity matrix.
#include "source/PixelLayout.h"
#include "operations/RuntimeObjects.h"
#include "source/RuntimeStatus.h"
#include "operations/StrictLifetimes.h"
#include "frame/RuntimeDispatch.h"

namespace QelRuntime {

namespace {

constexpr int32_t kFixedOne = 0x10000;
constexpr int32_t kFractOne = 0x40000000;

QtStatus injectedStatus(FaultPlan* faults, const char* operation, const Fault** fault = nullptr)
{
    const Fault* found = faults != nullptr ? faults->call(operation) : nullptr;
    if (fault != nullptr)
        *fault = found;
    return found != nullptr && found->status ? QtStatus(*found->status) : 0;
}

bool isIdentity(const QtMatrix* matrix)
{
    if (matrix == nullptr)
        return true;
    for (int32_t row = 0; row < 3; ++row)
        for (int32_t column = 0; column < 3; ++column) {
            int32_t one = row == 2 ? kFractOne : kFixedOne;
            if (matrix->values[row][column] != (row == column ? one : 0))
                return false;
        }
    return true;
}

int32_t fixedRatio(int32_t to, int32_t from)
{
    return from != 0 ? int32_t((int64_t(to) * kFixedOne) / from) : kFixedOne;
}

struct SequenceTarget {
    MovieObject* movie = nullptr;
    SurfaceObject* surface = nullptr;
};

SequenceTarget targetOf(const SequenceObject& sequence)
{
    RuntimeState& state = runtimeState();
    return {state.movie(sequence.movie),
            state.registry.find<SurfaceObject>(handleOf<QtSurface>(sequence.surface))};
}

} // namespace

void QtMatrixRectMap(QtMatrix* matrix, const QtRect* from, const QtRect* to)
{
    if (matrix == nullptr || from == nullptr || to == nullptr)
        return;
    *matrix = QtMatrix{};
    int32_t scaleX = fixedRatio(to->right - to->left, from->right - from->left);
    int32_t scaleY = fixedRatio(to->bottom - to->top, from->bottom - from->top);
    matrix->values[0][0] = scaleX;
    matrix->values[1][1] = scaleY;
    matrix->values[2][0] = to->left * kFixedOne - int32_t((int64_t(from->left) * scaleX));
    matrix->values[2][1] = to->top * kFixedOne - int32_t((int64_t(from->top) * scaleY));
    matrix->values[2][2] = kFractOne;
}

QtStatus QtSurfaceCreate(QtSurface* surface, uint32_t pixelFormat, const QtRect* bounds, void* colorTable,
                         void* device, uint32_t flags, void* baseAddress, int32_t rowBytes)
{
    RuntimeState& state = runtimeState();
    if (surface == nullptr || bounds == nullptr || baseAddress == nullptr || !isSurfaceFormat(pixelFormat))
        return kQtParamError;
    SurfaceView view{pixelFormat, static_cast<uint8_t*>(baseAddress), rowBytes, bounds->right - bounds->left,
                     bounds->bottom - bounds->top};
    int32_t depth = pixelFormat == 32 ? 32 : 24;
    if (view.width <= 0 || view.height <= 0 || rowBytes < minimumRowBytes(pixelFormat, depth, view.width))
        return kQtParamError;
    const Fault* fault = nullptr;
    if (QtStatus injected = injectedStatus(state.currentFaults(), "QtSurfaceCreate", &fault))
        return injected;
    if (fault != nullptr && fault->nullSurface) {
        *surface = nullptr;
        return 0;
    }
    auto object = std::make_unique<SurfaceObject>();
    object->view = view;
    *surface = handleOf<QtSurface>(state.registry.add(std::move(object)));
    return 0;
}

QtPixelMap QtSurfacePixels(QtSurface surface)
{
    RuntimeState& state = runtimeState();
    auto* object = state.registry.find<SurfaceObject>(surface);
    if (object == nullptr)
        return nullptr;
    if (object->pixelMap == 0) {
        auto pixels = std::make_unique<PixelMapObject>();
        pixels->dependsOn.push_back(handleValue(surface));
        object->pixelMap = state.registry.add(std::move(pixels));
    }
    return handleOf<QtPixelMap>(object->pixelMap);
}

void QtSurfaceDispose(QtSurface surface)
{
    RuntimeState& state = runtimeState();
    reportOutliving(state, handleValue(surface));
    state.registry.dispose(handleValue(surface));
}

QtBoolean QtPixelsPrepare(QtPixelMap pixels)
{
    return runtimeState().registry.find<PixelMapObject>(pixels) != nullptr ? 1 : 0;
}

QtStatus QtDecompressStart(QtSequence* sequence, QtHandle description, const unsigned char* data, int32_t dataSize,
                           QtSurface surface, void* device, const QtRect* sourceRect, const QtMatrix* matrix,
                           int16_t mode, void* mask, uint32_t flags, uint32_t accuracy, QtComponent decompressor)
{
    RuntimeState& state = runtimeState();
    auto owner = state.descriptionOwners.find(description);
    MovieObject* movie = owner != state.descriptionOwners.end() && state.registry.isHandle(description) &&
                                 !state.registry.isCallerHandle(description)
                             ? state.movie(owner->second.first)
                             : nullptr;
    if (sequence == nullptr || movie == nullptr || state.registry.find<SurfaceObject>(surface) == nullptr ||
        !isIdentity(matrix))
        return kQtParamError;
    if (QtStatus injected = injectedStatus(&movie->faults, "QtDecompressStart"))
        return injected;
    auto object = std::make_unique<SequenceObject>();
    object->movie = owner->second.first;
    object->track = owner->second.second;
    object->surface = handleValue(surface);
    *sequence = handleOf<QtSequence>(state.registry.add(std::move(object)));
    return 0;
}

QtStatus QtDecompressFrame(QtSequence sequence, const unsigned char* data, int32_t dataSize, uint32_t inFlags,
                           uint32_t* outFlags, void* completion)
{
    auto* object = runtimeState().registry.find<SequenceObject>(sequence);
    SequenceTarget target = object != nullptr ? targetOf(*object) : SequenceTarget{};
    if (target.movie == nullptr || target.surface == nullptr || data == nullptr || dataSize <= 0)
        return kQtParamError;
    if (QtStatus injected = injectedStatus(&target.movie->faults, "QtDecompressFrame"))
        return injected;
    if (outFlags != nullptr)
        *outFlags = 0;
    return target.movie->source->decodePicture(object->track, data, dataSize, target.surface->view);
}

QtStatus QtDecompressStop(QtSequence sequence)
{
    RuntimeState& state = runtimeState();
    auto* object = state.registry.find<SequenceObject>(sequence);
    if (object == nullptr)
        return kQtParamError;
    if (QtStatus injected = injectedStatus(state.movie(object->movie) != nullptr
                                               ? &state.movie(object->movie)->faults
                                               : nullptr,
                                           "QtDecompressStop"))
        return injected;
    state.registry.dispose(handleValue(sequence));
    return 0;
}

} // namespace QelRuntime
