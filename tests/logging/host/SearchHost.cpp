// A host program for the logging library's search tests:
//   QelLogSearchHost PLUGIN_FOLDER MOVIE
// loads the plug-in from PLUGIN_FOLDER as a host does and opens MOVIE, so
// that the plug-in logs its first line and with it binds its logging
// library. Exits 0 when the movie opened, 1 when it did not, 2 on a wrong
// command line.
#include <cstdio>

#include "HostEvents.h"
#include "HostLocation.h"
#include "PluginModule.h"
#include "RecordingContainerHost.h"
#include "RecordingPluginHost.h"
#include "media/StandardAllocator.h"
#include "plugin/ContainerInterface.h"
#include "plugin/ResultCodes.h"

namespace {

constexpr char kContainerInterfaceName[] = "com.ombrix.flowvane.interface.container";

int openMovie(Qel::Plugin& plugin, const char* moviePath)
{
    void* view = nullptr;
    const Qel::String<char> name(kContainerInterfaceName, &Qel::StandardAllocator<char>::instance());
    if (plugin.queryInterface(name, &view) != Qel::kQueryFound || !view)
        return 1;
    auto* container = static_cast<Qel::ContainerInterface*>(view);
    Qel::Host::HostEventLog events;
    Qel::Host::RecordingContainerHost containerHost(events);
    container->initialize(&containerHost, 1);
    Qel::Host::HostLocation location = Qel::Host::HostLocation::fromPath(moviePath);
    const int32_t result = container->open(&location);
    container->close();
    return result == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: QelLogSearchHost PLUGIN_FOLDER MOVIE\n");
        return 2;
    }
    // Kept loaded until the process ends, as a host keeps a plug-in it
    // used: the plug-in's logger lives as long as the process.
    static Qel::Host::PluginModule* const loaded = new Qel::Host::PluginModule(argv[1]);
    Qel::Host::PluginModule& module = *loaded;
    if (!module.loaded()) {
        std::fprintf(stderr, "%s\n", module.error().c_str());
        return 1;
    }
    Qel::Host::HostEventLog events;
    Qel::Host::RecordingPluginHost pluginHost(events);
    Qel::Plugin* plugin = nullptr;
    module.getPlugin()(&pluginHost, &plugin);
    if (!plugin)
        return 1;
    const int status = openMovie(*plugin, argv[2]);
    plugin->dropReference();
    return status;
}
