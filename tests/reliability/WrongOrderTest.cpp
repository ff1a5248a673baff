// Calls in an order the container and streams do not expect must fail with
// their documented codes (or do nothing), never crash or leak: a title
// opened before a movie, streams read, sought or closed before they are
// opened, and streams a host keeps using after the container removed them.
#include <vector>

#include <gtest/gtest.h>

#include "ContainerSession.h"
#include "HostClocks.h"
#include "MovieFixture.h"
#include "media/MediaChunk.h"
#include "plugin/ResultCodes.h"
#include "streams/StreamInterface.h"

namespace Qel::Reliability {
namespace {

using Testing::ContainerSession;
using Testing::MovieFixture;
namespace Movie = Testing::Movie;

// Reads once; the result code, with whether a chunk came (released at once).
int32_t readOnce(StreamInterface* stream, bool& delivered)
{
    MediaChunk* chunk = nullptr;
    const int32_t result = stream->readStream(&chunk);
    delivered = chunk != nullptr;
    if (chunk)
        chunk->release();
    return result;
}

class WrongOrderTest : public ::testing::Test {
protected:
    std::string movie()
    {
        return movies.write("movie.json", Movie::document(Movie::videoTrack() + "," + Movie::soundTrack()));
    }

    MovieFixture movies;
    Host::ScriptedClock clock;
};

TEST_F(WrongOrderTest, TitleBeforeOpenOrInitializeIsRefused)
{
    ContainerSession session;
    EXPECT_EQ(session.container->openTitle(session.onlyTitle()), kResultFailure);
    session.initialize();
    EXPECT_EQ(session.container->openTitle(session.onlyTitle()), kResultFailure);
    EXPECT_TRUE(session.containerHost.streams().empty());
    EXPECT_EQ(session.container->closeTitle(false), kResultSuccess);
    EXPECT_EQ(session.container->close(), kResultSuccess);
}

TEST_F(WrongOrderTest, StreamsBeforeOpenStreamFailAndThenWork)
{
    ContainerSession session;
    session.initialize();
    ASSERT_EQ(session.open(movie()), kResultSuccess);
    ASSERT_EQ(session.container->openTitle(session.onlyTitle()), kResultSuccess);
    ASSERT_EQ(session.containerHost.streams().size(), 2u);
    for (StreamInterface* stream : session.containerHost.streams()) {
        SCOPED_TRACE(stream->getKind());
        bool delivered = true;
        EXPECT_EQ(readOnce(stream, delivered), kResultFailure);
        EXPECT_FALSE(delivered);
        EXPECT_EQ(stream->closeStream(), kResultSuccess);
        ASSERT_EQ(stream->openStream(&clock), kResultSuccess);
        EXPECT_EQ(readOnce(stream, delivered), kResultSuccess);
        EXPECT_TRUE(delivered);
        EXPECT_EQ(stream->closeStream(), kResultSuccess);
        EXPECT_EQ(stream->closeStream(), kResultSuccess);
        EXPECT_EQ(readOnce(stream, delivered), kResultFailure);
        EXPECT_FALSE(delivered);
    }
}

TEST_F(WrongOrderTest, StreamsKeptAfterRemovalFailOnceTheMovieIsClosed)
{
    Host::HostEventLog events;
    Host::RecordingPluginHost pluginHost(events);
    Host::KeepingContainerHost host(events);
    ContainerSession session;
    session.container->initialize(&host, 42);
    ASSERT_EQ(session.open(movie()), kResultSuccess);
    ASSERT_EQ(session.container->openTitle(session.onlyTitle()), kResultSuccess);
    const std::vector<StreamInterface*> streams = host.streams();
    ASSERT_EQ(streams.size(), 2u);
    for (StreamInterface* stream : streams)
        ASSERT_EQ(stream->openStream(&clock), kResultSuccess);

    ASSERT_EQ(session.container->closeTitle(false), kResultSuccess);
    EXPECT_EQ(host.removed.size(), 2u);
    bool delivered = false;
    for (StreamInterface* stream : streams) {
        // Removed but still open over the loaded movie: it still reads.
        EXPECT_EQ(readOnce(stream, delivered), kResultSuccess);
        EXPECT_TRUE(delivered);
    }

    ASSERT_EQ(session.container->close(), kResultSuccess);
    for (StreamInterface* stream : streams) {
        SCOPED_TRACE(stream->getKind());
        uint32_t actual = 0;
        EXPECT_EQ(readOnce(stream, delivered), kResultFailure);
        EXPECT_FALSE(delivered);
        stream->seekStream(0, &actual, 1);
        EXPECT_EQ(stream->closeStream(), kResultSuccess);
        EXPECT_EQ(stream->openStream(&clock), kResultFailure);
    }
    // The container goes first; the host destroys the streams it kept.
    session.release();
}

} // namespace
} // namespace Qel::Reliability
