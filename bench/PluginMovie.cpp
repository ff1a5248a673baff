#include "PluginMovie.h"

#include <filesystem>
#include <stdexcept>

#include "HostLocation.h"
#include "media/StandardAllocator.h"
#include "plugin/ResultCodes.h"

namespace Qel::Bench {

namespace {

constexpr char kContainerInterfaceName[] = "com.ombrix.flowvane.interface.container";

Host::PluginModule& pluginModule()
{
    static Host::PluginModule* const module = new Host::PluginModule();
    return *module;
}

} // namespace

PluginMovie::PluginMovie(const std::string& path) : pluginHost(events), containerHost(events)
{
    Host::PluginModule& module = pluginModule();
    if (!module.loaded())
        throw std::runtime_error("cannot load the plug-in: " + module.error());
    module.getPlugin()(&pluginHost, &plugin);
    void* view = nullptr;
    String<char> name(kContainerInterfaceName, &StandardAllocator<char>::instance());
    if (!plugin || plugin->queryInterface(name, &view) != kQueryFound || !view) {
        release();
        throw std::runtime_error("the plug-in offers no container interface");
    }
    container = static_cast<ContainerInterface*>(view);
    container->initialize(&containerHost, 1);
    Host::HostLocation location = Host::HostLocation::fromPath(std::filesystem::absolute(path).string());
    opened = container->open(&location) == kResultSuccess;
    List<uint64_t> titles = opened ? callByValue(*container, &ContainerInterface::getTitles) : List<uint64_t>();
    if (!opened || !titles.head || container->openTitle(titles.head->value) != kResultSuccess) {
        release();
        throw std::runtime_error("the plug-in cannot open " + path);
    }
}

PluginMovie::~PluginMovie()
{
    release();
}

void PluginMovie::release()
{
    if (opened) {
        container->closeTitle(false);
        container->close();
        opened = false;
    }
    if (plugin)
        plugin->dropReference();
    plugin = nullptr;
    container = nullptr;
}

StreamInterface* PluginMovie::stream(int32_t kind) const
{
    for (StreamInterface* candidate : containerHost.streams()) {
        if (candidate->getKind() == kind)
            return candidate;
    }
    return nullptr;
}

} // namespace Qel::Bench
