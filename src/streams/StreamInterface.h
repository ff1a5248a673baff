// The interface through which the host drives one elementary stream of an
// opened movie: open with a clock, seek, sync points, pull one chunk at a
// time, read speed and mode.
//
// The container constructs each stream and hands it to the host with
// ContainerHost::addStream; from then on the host owns it and destroys it
// through slot 0. Times are unsigned 32-bit milliseconds; every status is 0
// or 0x80100001. Only associatedStreams is guarded (by lock); the other
// fields are plain, so the host calls one stream from one thread at a time.
// getAssociatedStreams takes the caller's storage explicitly
// (support/ByValueSlot.h); a host built by any compiler but one of the
// Microsoft ABI (every Linux host) calls it in this form, through
// callByValue.
#pragma once

#include <map>

#include <boost/thread/recursive_mutex.hpp>

#include "media/List.h"
#include "streams/StreamFormat.h"
#include "support/ByValueSlot.h"
#include "support/DestructorSlot.h"

namespace Qel {

class HostClock;
class MediaChunk;
class Properties;

class StreamInterface {
    QEL_ABSTRACT_DESTRUCTOR_SLOT()
public:
    virtual uint32_t getDuration() = 0;                                          // 1
    virtual void getValuePair(int32_t* first, int32_t* second);                  // 2
    virtual bool queryOption(uint32_t, uint32_t, uint32_t, uint32_t) = 0;        // 3
    virtual StreamFormat* getFormat() = 0;                                       // 4
    virtual Properties* getProperties() = 0;                                     // 5
    virtual int32_t getKind() = 0;                                               // 6
    virtual int32_t getStreamTag();                                              // 7
    virtual List<StreamInterface*>* getAssociatedStreams(List<StreamInterface*>* result, uint32_t mask);  // 8
    virtual int32_t openStream(HostClock* clock) = 0;                            // 9
    virtual int32_t rewindStream() = 0;                                          // 10
    virtual int32_t getSyncPoint(int32_t readSpeed, uint32_t time, uint32_t* syncTime) = 0;  // 11
    virtual int32_t seekStream(uint32_t time, uint32_t* actualTime, int32_t flag) = 0;      // 12
    virtual int32_t closeStream() = 0;                                           // 13
    // The chunk returned belongs to the host until it calls its release.
    virtual int32_t readStream(MediaChunk** chunk) = 0;                          // 14
    virtual uint32_t getPosition();                                              // 15
    virtual bool isEndOfStream();                                                // 16
    virtual bool setReadSpeed(int32_t speed);                                    // 17
    virtual int32_t getReadSpeed();                                              // 18
    virtual bool setReadMode(int32_t mode);                                      // 19
    virtual int32_t getReadMode();                                               // 20
    virtual void setHostValue(int32_t value);                                    // 21
    virtual int32_t getHostValue();                                              // 22
    virtual bool queryFeature(uint32_t feature);                                 // 23

    uint64_t getStreamId() const { return streamId; }

protected:
    StreamInterface(uint64_t containerId, uint64_t streamId, int32_t streamTag);
    ~StreamInterface();

    struct Association {
        uint32_t flags;
        StreamInterface* stream;
    };

    uint64_t containerId;
    uint64_t streamId;
    bool endOfStream;
    int32_t readSpeed;   // thousandths of normal speed; negative reads backwards
    int32_t readMode;    // 1 continuous, 2 sync samples only
    int32_t hostValue;
    int32_t valuePair[2];
    boost::recursive_mutex lock;  // guards associatedStreams
    std::map<uint64_t, Association> associatedStreams;
    uint32_t position;   // ms: end of the last chunk read (audio: also the time reached by a seek)
    int32_t streamTag;
};

} // namespace Qel
