// The host's object that issues identifiers and takes charge of streams.
// A container calls slots 1, 21, 22 and 23 on the thread that called it;
// from addStream on, the host owns the stream and destroys it (slot 0)
// after removeStream.
#pragma once

#include <cstdint>

#include "support/DestructorSlot.h"

namespace Qel {

class StreamInterface;

class ContainerHost {
    QEL_ABSTRACT_DESTRUCTOR_SLOT()
public:
    virtual uint64_t generateId() = 0;                               // 1
    virtual void hostSlot2() = 0;                                    // 2
    virtual void hostSlot3() = 0;                                    // 3
    virtual void hostSlot4() = 0;                                    // 4
    virtual void hostSlot5() = 0;                                    // 5
    virtual void hostSlot6() = 0;                                    // 6
    virtual void hostSlot7() = 0;                                    // 7
    virtual void hostSlot8() = 0;                                    // 8
    virtual void hostSlot9() = 0;                                    // 9
    virtual void hostSlot10() = 0;                                   // 10
    virtual void hostSlot11() = 0;                                   // 11
    virtual void hostSlot12() = 0;                                   // 12
    virtual void hostSlot13() = 0;                                   // 13
    virtual void hostSlot14() = 0;                                   // 14
    virtual void hostSlot15() = 0;                                   // 15
    virtual void hostSlot16() = 0;                                   // 16
    virtual void hostSlot17() = 0;                                   // 17
    virtual void hostSlot18() = 0;                                   // 18
    virtual void hostSlot19() = 0;                                   // 19
    virtual void hostSlot20() = 0;                                   // 20
    virtual void addStream(StreamInterface* stream) = 0;             // 21: the host owns it
    virtual void removeStream(uint64_t streamId) = 0;                // 22
    virtual void activateStream(uint64_t streamId, uint32_t value) = 0;  // 23

protected:
    ~ContainerHost() = default;
};

} // namespace Qel
