#include <windows.h>

#include "PluginModule.h"
#include "SystemErrorText.h"

namespace Qel::Host {

const char* const PluginModule::kFileName = "QelContainerQuickTime.dll";
const char PluginModule::kSeparator = '\\';

void PluginModule::preloadRuntime(const std::string& folder)
{
    std::string runtimePath = folder + "QuickTime.qts";
    if (Platform::pathExists(runtimePath.c_str()))
        runtime = Platform::loadModuleAt(runtimePath.c_str());
}

std::string PluginModule::loadErrorText()
{
    const DWORD error = GetLastError();
    return "error " + std::to_string(error) + ": " + systemErrorText(int(error));
}

std::string PluginModule::runtimeSearchText() const
{
    const std::string runtimePath = folderPath + "QuickTime.qts";
    const std::string elsewhere = "; the plug-in then looks in the folders named under "
                                  "HKEY_LOCAL_MACHINE\\Software\\Apple Computer, Inc.\\QuickTime and in the "
                                  "system folder";
    if (runtime)
        return "qelhost loaded " + runtimePath + ", which did not start";
    if (!Platform::pathExists(runtimePath.c_str()))
        return "qelhost found no " + runtimePath + elsewhere;
    Platform::ModuleHandle again = Platform::loadModuleAt(runtimePath.c_str());
    if (!again)
        return runtimePath + " cannot be loaded (" + loadErrorText() + ")" + elsewhere;
    Platform::freeModule(again);
    return runtimePath + " loads, but did not start" + elsewhere;
}

} // namespace Qel::Host
