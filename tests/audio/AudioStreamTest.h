// A fixture that opens a synthetic sound movie through the real plug-in
// module, the way a host does, and hands the test the title's first audio
// stream (owned by the recording host) together with a scripted clock.
#pragma once

#include <string>

#include <gtest/gtest.h>

#include "AudioTestSupport.h"
#include "ContainerSession.h"
#include "HostClocks.h"
#include "MovieFixture.h"
#include "media/Properties.h"
#include "plugin/ResultCodes.h"

namespace Qel::Testing {

class AudioStreamTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(session.container, nullptr);
        session.initialize();
    }

    // Opens the movie and the title; the stream is not opened yet.
    void load(const std::string& document)
    {
        ASSERT_EQ(session.open(movies.write("sound.mov", document)), kResultSuccess);
        ASSERT_EQ(session.container->openTitle(session.onlyTitle()), kResultSuccess);
        for (StreamInterface* candidate : session.containerHost.streams()) {
            if (candidate->getKind() == 288)
                stream = candidate;
        }
        ASSERT_NE(stream, nullptr);
    }

    // load, then openStream with the scripted clock.
    void open(const std::string& document)
    {
        load(document);
        ASSERT_EQ(stream->openStream(&clock), kResultSuccess);
    }

    const AudioProperties& properties() const
    {
        return *static_cast<const AudioProperties*>(stream->getProperties());
    }

    ReadChunk read() { return readChunk(stream); }

    // The stream must go before the clock it was opened with: the session
    // (which owns the host, which owns the stream) is declared last.
    Host::ScriptedClock clock;
    MovieFixture movies;
    ContainerSession session;
    StreamInterface* stream = nullptr;
};

} // namespace Qel::Testing
