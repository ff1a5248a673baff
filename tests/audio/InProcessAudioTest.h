// A fixture for the audio stream linked into the test program: a container
// made in-process, with recording hosts, opens a synthetic sound movie
// through the stand-in runtime, and the test puts an InterposedRuntime
// between the stream and that runtime.
#pragma once

#include <string>

#include <gtest/gtest.h>

#include "AudioTestSupport.h"
#include "HostClocks.h"
#include "HostEvents.h"
#include "HostLocation.h"
#include "InterposedRuntime.h"
#include "MovieFixture.h"
#include "RecordingContainerHost.h"
#include "RecordingPluginHost.h"
#include "quicktime/QtOperations.h"

namespace Qel {
class ContainerQuickTime;
}

namespace Qel::Testing {

class InProcessAudioTest : public ::testing::Test {
protected:
    InProcessAudioTest();
    ~InProcessAudioTest() override;

    // Opens the movie and its title; the stream is not opened yet.
    void load(const std::string& document);

    ReadChunk read() { return readChunk(stream); }

    Host::ScriptedClock clock;
    MovieFixture movies;
    Host::HostEventLog events;
    Host::RecordingPluginHost pluginHost;
    Host::RecordingContainerHost containerHost;
    ContainerQuickTime* container = nullptr;
    StreamInterface* stream = nullptr;
};

// Selectors and property codes the handlers look for.
constexpr uint32_t kFill = static_cast<uint32_t>(QtSelector::QtExtractFill);
constexpr uint32_t kPropertyGet = static_cast<uint32_t>(QtSelector::QtExtractPropertyGet);
constexpr uint32_t kPropertySet = static_cast<uint32_t>(QtSelector::QtExtractPropertySet);
constexpr uint32_t kPropertyInfo = static_cast<uint32_t>(QtSelector::QtExtractPropertyInfo);
constexpr QtOSType kDescription = fourCc('a', 's', 'b', 'd');
constexpr QtOSType kLayout = fourCc('c', 'l', 'a', 'y');

} // namespace Qel::Testing
