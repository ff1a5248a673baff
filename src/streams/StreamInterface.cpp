#include "streams/StreamInterface.h"

#include <boost/thread/lock_guard.hpp>

namespace Qel {

StreamInterface::StreamInterface(uint64_t containerId, uint64_t streamId, int32_t streamTag)
    : containerId(containerId),
      streamId(streamId),
      endOfStream(false),
      readSpeed(0),
      readMode(0),
      hostValue(0),
      valuePair{0, 0},
      position(0),
      streamTag(streamTag)
{
}

StreamInterface::~StreamInterface() = default;

// Only the words the host asked for (non-null) are written.
void StreamInterface::getValuePair(int32_t* first, int32_t* second)
{
    if (first)
        *first = valuePair[0];
    if (second)
        *second = valuePair[1];
}

int32_t StreamInterface::getStreamTag()
{
    return streamTag;
}

// The lock guards the map only: it is held for the walk that fills the list.
List<StreamInterface*>* StreamInterface::getAssociatedStreams(List<StreamInterface*>* result, uint32_t mask)
{
    return returnByValue(result, [this, mask] {
        List<StreamInterface*> selected(&StandardAllocator<Node<StreamInterface*>>::instance());
        boost::lock_guard<boost::recursive_mutex> guard(lock);
        for (const auto& entry : associatedStreams) {
            if ((entry.second.flags & mask) == mask)
                selected.pushBack(entry.second.stream);
        }
        return selected;
    });
}

uint32_t StreamInterface::getPosition()
{
    return position;
}

bool StreamInterface::isEndOfStream()
{
    return endOfStream;
}

bool StreamInterface::setReadSpeed(int32_t speed)
{
    readSpeed = speed;
    return true;
}

int32_t StreamInterface::getReadSpeed()
{
    return readSpeed;
}

bool StreamInterface::setReadMode(int32_t mode)
{
    readMode = mode;
    return true;
}

int32_t StreamInterface::getReadMode()
{
    return readMode;
}

void StreamInterface::setHostValue(int32_t value)
{
    hostValue = value;
}

int32_t StreamInterface::getHostValue()
{
    return hostValue;
}

bool StreamInterface::queryFeature(uint32_t)
{
    return false;
}

} // namespace Qel
