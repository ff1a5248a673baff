// The host's clock object, given to a stream's openStream. The stream keeps
// the pointer while it is open, never releases it, and calls only slots 3
// and 5, on the thread that called the stream.
#pragma once

#include <cstdint>

#include "support/DestructorSlot.h"

namespace Qel {

class HostClock {
    QEL_ABSTRACT_DESTRUCTOR_SLOT()
public:
    virtual void hostSlot1() = 0;     // 1
    virtual void hostSlot2() = 0;     // 2
    virtual int32_t getTime() = 0;    // 3: the presentation time in ms
    virtual void hostSlot4() = 0;     // 4
    virtual bool isRunning() = 0;     // 5

protected:
    ~HostClock() = default;
};

} // namespace Qel
