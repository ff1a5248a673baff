#include "support/LoggerImpl.h"

namespace Qel {

namespace {

template <class Entry>
bool lookUp(Platform::ModuleHandle module, const char* name, Entry& entry)
{
    entry = reinterpret_cast<Entry>(Platform::findSymbol(module, name));
    return entry != nullptr;
}

} // namespace

LoggerImpl::~LoggerImpl()
{
    unbind();
}

bool LoggerImpl::bind(const std::u16string& libraryName)
{
    module = Platform::loadInstalledLibrary(libraryName);
    if (!module)
        return false;
    const bool complete = lookUp(module, "QelLog_configure", configureEntry)
                          && lookUp(module, "QelLog_close", closeEntry)
                          && lookUp(module, "QelLog_isEnabled", isEnabledEntry)
                          && lookUp(module, "QelLog_write", writeEntry);
    if (!complete)
        unbind();
    return complete;
}

void LoggerImpl::unbind()
{
    configureEntry = nullptr;
    closeEntry = nullptr;
    isEnabledEntry = nullptr;
    writeEntry = nullptr;
    if (module) {
        Platform::freeModule(module);
        module = nullptr;
    }
}

} // namespace Qel
