#include "InProcessAudioTest.h"

#include "PluginModule.h"
#include "container/ContainerQuickTime.h"
#include "plugin/ResultCodes.h"
#include "quicktime/QtOperations.h"
#include "support/Platform.h"

namespace Qel::Testing {

namespace {

// The loader of the code linked in here looks for an already loaded runtime
// first (Windows) or beside this program (elsewhere): loading the one in the
// program's folder serves both. It stays loaded, as the started runtime does.
void loadRuntimeOnce()
{
    static Platform::ModuleHandle runtime =
        Platform::loadModule((Host::PluginModule::programFolder() + "QuickTime.qts").c_str());
    (void)runtime;
}

} // namespace

InProcessAudioTest::InProcessAudioTest() : pluginHost(events), containerHost(events)
{
    loadRuntimeOnce();
    container = new ContainerQuickTime(&pluginHost);
    container->initialize(&containerHost, 42);
}

InProcessAudioTest::~InProcessAudioTest()
{
    // Closing takes the streams back; the host destroys them. A test may
    // have dropped the container itself.
    if (container)
        static_cast<Plugin*>(container)->dropReference();
}

void InProcessAudioTest::load(const std::string& document)
{
    Host::HostLocation location = Host::HostLocation::fromPath(movies.write("sound.mov", document));
    ASSERT_EQ(container->open(&location), kResultSuccess);
    List<uint64_t> titles = callByValue(*container, &ContainerInterface::getTitles);
    ASSERT_NE(titles.head, nullptr);
    ASSERT_EQ(container->openTitle(titles.head->value), kResultSuccess);
    ASSERT_EQ(containerHost.streams().size(), 1u);
    stream = containerHost.streams().front();
}

} // namespace Qel::Testing
