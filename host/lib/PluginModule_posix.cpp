#include "PluginModule.h"

namespace Qel::Host {

const char* const PluginModule::kFileName = "libQelContainerQuickTime.so";
const char PluginModule::kSeparator = '/';

// The plug-in's loader looks in the plug-in's own folder here.
void PluginModule::preloadRuntime(const std::string&) {}

} // namespace Qel::Host
