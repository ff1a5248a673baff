// A plug-in installed where no runtime can be found: a copy of the module
// alone in a folder of its own (the loader looks beside the plug-in, in the
// registry and in the system folder, none of which holds one), in a
// program of its own so that no runtime has been started before.
#include <gtest/gtest.h>

#include <filesystem>

#include "ContainerSession.h"
#include "MovieFixture.h"
#include "plugin/ResultCodes.h"

namespace Qel::Testing {
namespace {

TEST(ContainerWithoutRuntime, OpenReportsTheRuntimeNotStartedEveryTimeAndStaysEmpty)
{
    TempFolder installation;
    std::filesystem::copy_file(Host::PluginModule::programFolder() + Host::PluginModule::kFileName,
                               installation.path(Host::PluginModule::kFileName));
    MovieFixture movies;
    std::string file = movies.write("movie.mov", Movie::document(Movie::videoTrack()));
    {
        Host::PluginModule module(installation.path(""));
        ASSERT_TRUE(module.loaded()) << module.error();
        Host::HostEventLog events;
        Host::RecordingPluginHost pluginHost(events);
        Host::RecordingContainerHost containerHost(events);
        Plugin* plugin = nullptr;
        module.getPlugin()(&pluginHost, &plugin);
        ASSERT_NE(plugin, nullptr);
        void* view = nullptr;
        ASSERT_EQ(plugin->queryInterface(identifier(kContainerInterfaceName), &view), 0);
        auto* container = static_cast<ContainerInterface*>(view);
        container->initialize(&containerHost, 1);

        Host::HostLocation location = Host::HostLocation::fromPath(file);
        EXPECT_FALSE(container->canOpen(&location, 0, 0, 0));
        EXPECT_EQ(container->open(&location), kResultRuntimeNotStarted);
        EXPECT_EQ(callByValue(*container, &ContainerInterface::getPath).toStdString(), file);
        EXPECT_EQ(container->open(&location), kResultRuntimeNotStarted);
        EXPECT_EQ(container->openTitle(1001), kResultFailure);
        EXPECT_EQ(container->close(), kResultSuccess);
        plugin->dropReference();
        EXPECT_EQ(events.lines(),
                  (std::vector<std::string>{"generateId 1001", "onPluginReleasing", "onPluginReleased"}));
    }
}

} // namespace
} // namespace Qel::Testing
