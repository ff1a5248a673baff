// The streams a command opened, closed (closeStream) when it goes, so that
// every path out of the command, failures included, closes what it opened
// before the session takes the streams back.
#pragma once

#include <vector>

#include "HostClocks.h"
#include "plugin/ResultCodes.h"
#include "streams/StreamInterface.h"

namespace Qel::Cli {

class OpenStreams {
public:
    OpenStreams() = default;
    ~OpenStreams()
    {
        for (StreamInterface* stream : opened)
            stream->closeStream();
    }
    OpenStreams(const OpenStreams&) = delete;
    OpenStreams& operator=(const OpenStreams&) = delete;

    // openStream with the clock; the stream is closed later even when the
    // open failed, since a failed open may leave runtime objects behind.
    int32_t open(StreamInterface& stream, HostClock& clock)
    {
        opened.push_back(&stream);
        return stream.openStream(&clock);
    }

private:
    std::vector<StreamInterface*> opened;
};

} // namespace Qel::Cli
