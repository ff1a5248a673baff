#include <cstdint>

#include <gtest/gtest.h>

#include "HostEvents.h"
#include "RecordingPluginHost.h"
#include "VtableCall.h"
#include "plugin/Plugin.h"
#include "plugin/ResultCodes.h"

namespace Qel {
namespace {

using Testing::callSlot;

enum PluginSlot : uint32_t {
    kDestroy = 0, kAddReference = 1, kDropReference = 2, kGetReferenceCount = 3,
    kGetReserved = 4, kGetHost = 5,
};

// The smallest component: it answers no interface and notes, in the host's
// log, how many host events had been recorded when it was destroyed.
class BarePlugin : public Plugin {
    QEL_DESTRUCTOR_SLOT(BarePlugin)
public:
    BarePlugin(PluginHost* host, Host::HostEventLog* log, size_t* eventsAtDestruction)
        : Plugin(host), log(log), eventsAtDestruction(eventsAtDestruction)
    {
    }
    int32_t queryInterface(const String<char>&, void** out) override
    {
        *out = nullptr;
        return kQueryNotFound;
    }

protected:
    ~BarePlugin() { *eventsAtDestruction = log->all().size(); }

private:
    Host::HostEventLog* log;
    size_t* eventsAtDestruction;
};

class PluginTest : public ::testing::Test {
protected:
    Host::HostEventLog log;
    Host::RecordingPluginHost host{log};
    size_t eventsAtDestruction = SIZE_MAX;
    Plugin* plugin = new BarePlugin(&host, &log, &eventsAtDestruction);
};

TEST_F(PluginTest, CountsReferencesFromOne)
{
    EXPECT_EQ(callSlot<int32_t>(plugin, kGetReferenceCount), 1);
    EXPECT_EQ(callSlot<int32_t>(plugin, kAddReference), 2);
    EXPECT_EQ(callSlot<int32_t>(plugin, kAddReference), 3);
    EXPECT_EQ(callSlot<int32_t>(plugin, kDropReference), 2);
    EXPECT_EQ(callSlot<int32_t>(plugin, kGetReferenceCount), 2);
    EXPECT_EQ(callSlot<uint32_t>(plugin, kGetReserved), 0u);
    EXPECT_EQ(callSlot<PluginHost*>(plugin, kGetHost), &host);
    EXPECT_TRUE(log.all().empty());
    EXPECT_EQ(callSlot<int32_t>(plugin, kDropReference), 1);
    EXPECT_EQ(callSlot<int32_t>(plugin, kDropReference), 0);
}

TEST_F(PluginTest, LastDropTellsTheHostBeforeAndAfterDeletingItself)
{
    callSlot<int32_t>(plugin, kAddReference);
    EXPECT_EQ(callSlot<int32_t>(plugin, kDropReference), 1);
    EXPECT_TRUE(log.all().empty());

    const Plugin* identity = plugin;
    EXPECT_EQ(callSlot<int32_t>(plugin, kDropReference), 0);
    ASSERT_EQ(log.lines(), (std::vector<std::string>{"onPluginReleasing", "onPluginReleased"}));
    EXPECT_EQ(log.all()[0].object, identity);
    EXPECT_EQ(log.all()[1].object, identity);
    EXPECT_EQ(eventsAtDestruction, 1u) << "destroyed between the two notifications";
}

TEST(PluginWithoutHostTest, LastDropStillFreesTheObject)
{
    Host::HostEventLog log;
    size_t eventsAtDestruction = SIZE_MAX;
    Plugin* plugin = new BarePlugin(nullptr, &log, &eventsAtDestruction);
    EXPECT_EQ(callSlot<int32_t>(plugin, kDropReference), 0);
    EXPECT_EQ(eventsAtDestruction, 0u);
}

} // namespace
} // namespace Qel
