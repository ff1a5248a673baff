// The reference-counted base object that a host receives from getPlugin.
//
// The host owns the object through referenceCount (1 after construction)
// and calls addReference/dropReference from one thread at a time: the count
// is plain arithmetic, not atomic. The last dropReference tells the host
// (PluginHost slot 8), destroys the object through slot 0, then tells the
// host again (slot 9) with the same pointer value.
#pragma once

#include <cstdint>

#include "media/String.h"
#include "support/DestructorSlot.h"

namespace Qel {

class PluginHost;

class Plugin {
    QEL_ABSTRACT_DESTRUCTOR_SLOT()
public:
    virtual int32_t addReference();                                          // 1
    virtual int32_t dropReference();                                         // 2
    virtual int32_t getReferenceCount();                                     // 3
    virtual uint32_t getReserved();                                          // 4
    virtual PluginHost* getHost();                                           // 5
    // Answers 0 and the interface's view for a known identifier, else 3 and
    // null. Adds no reference.
    virtual int32_t queryInterface(const String<char>& id, void** out) = 0;  // 6

protected:
    explicit Plugin(PluginHost* host);
    ~Plugin() = default;

    int32_t referenceCount;
    PluginHost* host;
    uint32_t reserved;
};

// The module's only export, "_getPlugin": a new component with one
// reference, or null in *out when it cannot be allocated. Always 0.
extern "C" {
typedef int32_t (*GetPluginFunction)(PluginHost* host, Plugin** out);
}

} // namespace Qel
