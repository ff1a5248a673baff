// The host's object that receives a plug-in's release notifications. The
// host implements it and passes it to getPlugin; the plug-in calls only
// slots 8 and 9, on the thread that drops the last reference.
#pragma once

#include "support/DestructorSlot.h"

namespace Qel {

class Plugin;

class PluginHost {
    QEL_ABSTRACT_DESTRUCTOR_SLOT()
public:
    virtual void hostSlot1() = 0;                            // 1
    virtual void hostSlot2() = 0;                            // 2
    virtual void hostSlot3() = 0;                            // 3
    virtual void hostSlot4() = 0;                            // 4
    virtual void hostSlot5() = 0;                            // 5
    virtual void hostSlot6() = 0;                            // 6
    virtual void hostSlot7() = 0;                            // 7
    virtual void onPluginReleasing(Plugin* plugin) = 0;      // 8
    virtual void onPluginReleased(Plugin* plugin) = 0;       // 9: the pointer only identifies

protected:
    ~PluginHost() = default;
};

} // namespace Qel
