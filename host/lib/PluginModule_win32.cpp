#include "PluginModule.h"

namespace Qel::Host {

const char* const PluginModule::kFileName = "QelContainerQuickTime.dll";
const char PluginModule::kSeparator = '\\';

void PluginModule::preloadRuntime(const std::string& folder)
{
    std::string runtimePath = folder + "QuickTime.qts";
    if (Platform::pathExists(runtimePath.c_str()))
        runtime = Platform::loadModule(runtimePath.c_str());
}

} // namespace Qel::Host
