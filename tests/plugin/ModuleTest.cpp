// The plug-in as a host sees it: loaded by file name, its component made
// through "_getPlugin" and driven only through vtable slots.
#include <cstdint>

#include <gtest/gtest.h>

#include "HostEvents.h"
#include "PluginModule.h"
#include "RecordingPluginHost.h"
#include "VtableCall.h"
#include "container/ContainerQuickTime.h"
#include "plugin/ResultCodes.h"

namespace Qel {
namespace {

using Testing::callSlot;

constexpr uint32_t kDestroy = 0;
constexpr uint32_t kAddReference = 1;
constexpr uint32_t kDropReference = 2;
constexpr uint32_t kGetReferenceCount = 3;
constexpr uint32_t kQueryInterface = 6;
constexpr uint32_t kGetContainerId = 7;

class ModuleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(module.loaded()) << module.error();
        ASSERT_EQ(module.getPlugin()(&host, &plugin), 0);
        ASSERT_NE(plugin, nullptr);
    }

    void TearDown() override
    {
        while (plugin && callSlot<int32_t>(plugin, kDropReference) > 0) {
        }
    }

    int32_t query(const char* id, void** out)
    {
        const String<char> identifier(id, &StandardAllocator<char>::instance());
        return callSlot<int32_t>(plugin, kQueryInterface, &identifier, out);
    }

    // Where the host expects the ContainerInterface view of the component.
    void* containerView() const
    {
        return static_cast<ContainerInterface*>(static_cast<ContainerQuickTime*>(plugin));
    }

    Host::PluginModule module;
    Host::HostEventLog log;
    Host::RecordingPluginHost host{log};
    Plugin* plugin = nullptr;
};

TEST_F(ModuleTest, NewComponentHoldsOneReference)
{
    EXPECT_EQ(callSlot<int32_t>(plugin, kGetReferenceCount), 1);
    EXPECT_EQ(callSlot<int32_t>(plugin, kAddReference), 2);
}

TEST_F(ModuleTest, ContainerInterfaceIsTheSecondViewAndAddsNoReference)
{
    void* out = nullptr;
    EXPECT_EQ(query("com.ombrix.flowvane.interface.container", &out), kQueryFound);
    ASSERT_EQ(out, containerView());
    EXPECT_NE(out, static_cast<void*>(plugin));
    EXPECT_EQ(callSlot<uint64_t>(out, kGetContainerId), 0u);
    EXPECT_EQ(callSlot<int32_t>(plugin, kGetReferenceCount), 1);
}

TEST_F(ModuleTest, OtherIdentifiersAreRefusedWithANullView)
{
    const char* const refused[] = {"com.ombrix.flowvane.interface.component",
                                   "COM.OMBRIX.FLOWVANE.INTERFACE.CONTAINER", "", nullptr};
    for (const char* id : refused) {
        SCOPED_TRACE(id ? id : "(null data)");
        void* out = &out;
        EXPECT_EQ(query(id, &out), kQueryNotFound);
        EXPECT_EQ(out, nullptr);
    }
}

TEST_F(ModuleTest, LastDropTellsTheHostWithThePluginView)
{
    const Plugin* identity = plugin;
    EXPECT_EQ(callSlot<int32_t>(plugin, kDropReference), 0);
    plugin = nullptr;
    ASSERT_EQ(log.lines(), (std::vector<std::string>{"onPluginReleasing", "onPluginReleased"}));
    EXPECT_EQ(log.all()[0].object, identity);
    EXPECT_EQ(log.all()[1].object, identity);
}

TEST_F(ModuleTest, DeletingThroughTheContainerViewFreesTheWholeObject)
{
    callSlot<void*>(containerView(), kDestroy, 1u);
    plugin = nullptr;
    EXPECT_TRUE(log.all().empty());
}

TEST_F(ModuleTest, WithoutAnOutParameterNothingIsMade)
{
    EXPECT_EQ(module.getPlugin()(&host, nullptr), 0);
}

} // namespace
} // namespace Qel
