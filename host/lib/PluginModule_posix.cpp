#include <dlfcn.h>

#include "PluginModule.h"

namespace Qel::Host {

const char* const PluginModule::kFileName = "libQelContainerQuickTime.so";
const char PluginModule::kSeparator = '/';

// The plug-in's loader looks in the plug-in's own folder here.
void PluginModule::preloadRuntime(const std::string&) {}

std::string PluginModule::loadErrorText()
{
    const char* reason = dlerror();
    return reason ? reason : "no reason given";
}

std::string PluginModule::runtimeSearchText() const
{
    const std::string runtimePath = folderPath + "QuickTime.qts";
    std::string text = "the plug-in looks for its runtime as " + runtimePath;
    if (!Platform::pathExists(runtimePath.c_str()))
        return text + ", which does not exist";
    Platform::ModuleHandle runtime = Platform::loadModuleAt(runtimePath.c_str());
    if (!runtime)
        return text + ", which cannot be loaded (" + loadErrorText() + ")";
    Platform::freeModule(runtime);
    return text + ", which loads but did not start";
}

} // namespace Qel::Host
