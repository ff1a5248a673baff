#include "PluginModule.h"

namespace Qel::Host {

namespace {

std::string withSeparator(std::string folder)
{
    if (!folder.empty() && folder.back() != '/' && folder.back() != '\\')
        folder += PluginModule::kSeparator;
    return folder;
}

} // namespace

std::string PluginModule::programFolder()
{
    char buffer[4096] = {};
    uint32_t length = Platform::moduleFileName(Platform::thisModule(), buffer, sizeof buffer);
    std::string path(buffer, length);
    size_t cut = path.find_last_of("/\\");
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

PluginModule::PluginModule(const std::string& folder)
{
    folderPath = withSeparator(folder.empty() ? programFolder() : folder);
    preloadRuntime(folderPath);
    modulePath = folderPath + kFileName;
    module = Platform::loadModuleAt(modulePath.c_str());
    if (!module) {
        failure = "cannot load " + modulePath + " (" + loadErrorText() + ")";
        return;
    }
    getPluginFunction = reinterpret_cast<GetPluginFunction>(Platform::findSymbol(module, "_getPlugin"));
    if (!getPluginFunction)
        failure = modulePath + " has no _getPlugin";
}

PluginModule::~PluginModule()
{
    if (module)
        Platform::freeModule(module);
    if (runtime)
        Platform::freeModule(runtime);
}

} // namespace Qel::Host
