// One container loaded the way a host loads it: the plug-in module from the
// test program's folder, _getPlugin with a recording PluginHost, the
// container interface through queryInterface, and a recording
// ContainerHost that issues identifiers from 1001 and owns the streams.
//
// The module stays loaded until the program ends (as a host keeps a plug-in
// it used), so module-wide state such as the started runtime carries over
// from one test to the next. The session drops its reference, if the test
// has not, before the hosts go.
#pragma once

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "HostEvents.h"
#include "HostLocation.h"
#include "PluginModule.h"
#include "RecordingContainerHost.h"
#include "RecordingPluginHost.h"
#include "media/StandardAllocator.h"
#include "media/String.h"
#include "plugin/ContainerInterface.h"
#include "plugin/Plugin.h"

namespace Qel::Testing {

constexpr char kContainerInterfaceName[] = "com.ombrix.flowvane.interface.container";

inline String<char> identifier(const char* text)
{
    return String<char>(text, &StandardAllocator<char>::instance());
}

inline String<unsigned char> text(const char* value)
{
    return String<unsigned char>(reinterpret_cast<const unsigned char*>(value),
                                 &StandardAllocator<unsigned char>::instance());
}

// The process's one load of the plug-in module; never unloaded.
inline Host::PluginModule& pluginModule()
{
    static Host::PluginModule* module = new Host::PluginModule();
    return *module;
}

class ContainerSession {
public:
    ContainerSession() : pluginHost(events), containerHost(events)
    {
        Host::PluginModule& module = pluginModule();
        if (!module.loaded()) {
            ADD_FAILURE() << module.error();
            return;
        }
        module.getPlugin()(&pluginHost, &plugin);
        void* view = nullptr;
        if (plugin && plugin->queryInterface(identifier(kContainerInterfaceName), &view) == 0)
            container = static_cast<ContainerInterface*>(view);
        if (!container)
            ADD_FAILURE() << "no container interface";
    }

    ~ContainerSession() { release(); }

    ContainerSession(const ContainerSession&) = delete;
    ContainerSession& operator=(const ContainerSession&) = delete;

    // initialize with the recording host and the given container id.
    void initialize(uint64_t containerId = 42) { container->initialize(&containerHost, containerId); }

    int32_t open(const std::string& path)
    {
        Host::HostLocation location = Host::HostLocation::fromPath(path);
        return container->open(&location);
    }

    bool canOpen(const std::string& path)
    {
        Host::HostLocation location = Host::HostLocation::fromPath(path);
        return container->canOpen(&location, 0, 0, 0);
    }

    uint64_t onlyTitle()
    {
        List<uint64_t> titles = callByValue(*container, &ContainerInterface::getTitles);
        EXPECT_EQ(titles.count, 1);
        return titles.head ? titles.head->value : 0;
    }

    // Drops the session's reference, destroying the container.
    void release()
    {
        if (plugin)
            plugin->dropReference();
        plugin = nullptr;
        container = nullptr;
    }

    Host::HostEventLog events;
    Host::RecordingPluginHost pluginHost;
    Host::RecordingContainerHost containerHost;
    Plugin* plugin = nullptr;
    ContainerInterface* container = nullptr;
};

} // namespace Qel::Testing
