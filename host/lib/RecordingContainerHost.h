// A ContainerHost that issues identifiers, records every call in a
// HostEventLog, and owns the streams it is given, as a real host does: a
// stream is destroyed (slot 0) when the container removes it, and any still
// held are destroyed with the host. Identifiers count up from firstId.
//
// A container must not outlive its host while it still lists streams:
// destroy (or close) the container first.
#pragma once

#include <vector>

#include "HostEvents.h"
#include "plugin/ContainerHost.h"

namespace Qel::Host {

class RecordingContainerHost : public ContainerHost {
    QEL_DESTRUCTOR_SLOT(RecordingContainerHost)
public:
    explicit RecordingContainerHost(HostEventLog& log, uint64_t firstId = 1001);
    ~RecordingContainerHost();
    RecordingContainerHost(const RecordingContainerHost&) = delete;
    RecordingContainerHost& operator=(const RecordingContainerHost&) = delete;

    uint64_t generateId() override;
    void hostSlot2() override { unexpected(2); }
    void hostSlot3() override { unexpected(3); }
    void hostSlot4() override { unexpected(4); }
    void hostSlot5() override { unexpected(5); }
    void hostSlot6() override { unexpected(6); }
    void hostSlot7() override { unexpected(7); }
    void hostSlot8() override { unexpected(8); }
    void hostSlot9() override { unexpected(9); }
    void hostSlot10() override { unexpected(10); }
    void hostSlot11() override { unexpected(11); }
    void hostSlot12() override { unexpected(12); }
    void hostSlot13() override { unexpected(13); }
    void hostSlot14() override { unexpected(14); }
    void hostSlot15() override { unexpected(15); }
    void hostSlot16() override { unexpected(16); }
    void hostSlot17() override { unexpected(17); }
    void hostSlot18() override { unexpected(18); }
    void hostSlot19() override { unexpected(19); }
    void hostSlot20() override { unexpected(20); }
    void addStream(StreamInterface* stream) override;
    void removeStream(uint64_t streamId) override;
    void activateStream(uint64_t streamId, uint32_t value) override;

    // The streams the host holds, in the order they were added.
    const std::vector<StreamInterface*>& streams() const { return held; }
    // The held stream with this id, or null.
    StreamInterface* stream(uint64_t streamId) const;

private:
    void unexpected(uint32_t slot);

    HostEventLog& log;
    uint64_t nextId;
    std::vector<StreamInterface*> held;  // owned
};

// A host that, unlike the recording one, keeps a stream alive after
// removeStream: it still holds it and destroys it only with itself.
class KeepingContainerHost : public RecordingContainerHost {
    QEL_DESTRUCTOR_SLOT(KeepingContainerHost)
public:
    using RecordingContainerHost::RecordingContainerHost;
    ~KeepingContainerHost() = default;

    void removeStream(uint64_t streamId) override { removed.push_back(streamId); }

    std::vector<uint64_t> removed;
};

} // namespace Qel::Host
