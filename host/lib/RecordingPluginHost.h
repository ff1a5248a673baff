// A PluginHost that records the plug-in's release notifications (slots 8
// and 9) in a HostEventLog. Slots 1 to 7 are never called by a plug-in;
// a call to one is recorded as unexpected so that a test can see it.
#pragma once

#include "HostEvents.h"
#include "plugin/PluginHost.h"

namespace Qel::Host {

class RecordingPluginHost : public PluginHost {
    QEL_DESTRUCTOR_SLOT(RecordingPluginHost)
public:
    explicit RecordingPluginHost(HostEventLog& log) : log(log) {}
    ~RecordingPluginHost() = default;

    void hostSlot1() override { unexpected(1); }
    void hostSlot2() override { unexpected(2); }
    void hostSlot3() override { unexpected(3); }
    void hostSlot4() override { unexpected(4); }
    void hostSlot5() override { unexpected(5); }
    void hostSlot6() override { unexpected(6); }
    void hostSlot7() override { unexpected(7); }
    void onPluginReleasing(Plugin* plugin) override;
    void onPluginReleased(Plugin* plugin) override;

private:
    void unexpected(uint32_t slot);

    HostEventLog& log;
};

} // namespace Qel::Host
