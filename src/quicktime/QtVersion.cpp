// Whether the runtime library is new enough for its state to be shared.
#include "quicktime/QtLoaderInternal.h"
#include "quicktime/QtLoaderState.h"

namespace Qel {

namespace {

// 7.0.2 as the packed version below.
constexpr uint32_t kOldestSharedVersion = 0x07000200;

// major.minor.build.revision, eight bits each, most significant first.
uint32_t packVersion(uint32_t high, uint32_t low)
{
    return ((high >> 16) & 0xFF) << 24 | (high & 0xFF) << 16 | ((low >> 16) & 0xFF) << 8 | (low & 0xFF);
}

} // namespace

void QtFileVersionRead(const char* path, uint32_t* high, uint32_t* low)
{
    if (high)
        *high = 0;
    if (low)
        *low = 0;
    if (path)
        Platform::fileVersion(path, high, low);
}

int32_t QtLoaderVersionCheck()
{
    QtLoaderState& state = qelQtLoaderState;
    if (state.versionChecked)
        return state.versionNewEnough;
    Platform::ModuleHandle module = state.library;
    const bool loadedForCheck = !module;
    if (loadedForCheck) {
        module = QtLibraryLoad(kQtLibraryName);
        if (!module)
            return state.versionNewEnough;
    }
    char fileName[kQtPathCapacity + 1];
    if (Platform::moduleFileName(module, fileName, sizeof fileName) != 0) {
        uint32_t high = 0;
        uint32_t low = 0;
        QtFileVersionRead(fileName, &high, &low);
        if (packVersion(high, low) >= kOldestSharedVersion)
            state.versionNewEnough = 1;
    }
    if (loadedForCheck)
        Platform::freeModule(module);
    state.versionChecked = 1;
    return state.versionNewEnough;
}

} // namespace Qel
