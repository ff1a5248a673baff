// The title's tracks becoming streams that the host takes over, the road
// from _getPlugin to the last release, and taking the streams back.
#include <gtest/gtest.h>

#include <filesystem>

#include "ContainerSession.h"
#include "LogCapture.h"
#include "MovieFixture.h"
#include "plugin/ResultCodes.h"
#include "streams/StreamInterface.h"

namespace Qel::Testing {
namespace {

using Lines = std::vector<std::string>;

class ContainerTitle : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(session.container, nullptr);
        session.initialize();
    }

    ContainerInterface* container() { return session.container; }

    // Opens a movie of these tracks and clears what the set-up recorded.
    void openMovie(const std::string& tracks, const std::string& faults = "")
    {
        std::string file = movies.write("movie.mov", Movie::document(tracks, "null", 600, 6000, faults));
        ASSERT_EQ(session.open(file), kResultSuccess);
        session.events.clear();
    }

    // openTitle's log lines: every one from openTitle, in the container's category.
    Lines openTitle(int32_t expected = kResultSuccess)
    {
        LogCapture log;
        EXPECT_EQ(container()->openTitle(session.onlyTitle()), expected);
        Lines messages;
        for (const LogLine& line : log.lines()) {
            EXPECT_EQ(line.category, "Container");
            EXPECT_EQ(line.function, "Qel::ContainerQuickTime::openTitle");
            messages.push_back(line.message);
        }
        return messages;
    }

    MovieFixture movies;
    ContainerSession session;
};

TEST_F(ContainerTitle, RoadFromGetPluginToTheLastRelease)
{
    LogCapture log;
    std::string file = movies.write(
        "road.mov", Movie::document(Movie::videoTrack() + "," + Movie::soundTrack(), R"({"name": "Road"})"));
    EXPECT_TRUE(session.canOpen(file));
    ASSERT_EQ(session.open(file), kResultSuccess);
    uint64_t title = session.onlyTitle();
    EXPECT_EQ(callByValue(*container(), &ContainerInterface::getTitleName, title).toStdString(), "Road");
    uint64_t size = 0;
    EXPECT_EQ(container()->getFileSize(&size), kResultSuccess);
    EXPECT_EQ(size, std::filesystem::file_size(file));
    ASSERT_EQ(container()->openTitle(title), kResultSuccess);
    ASSERT_EQ(session.containerHost.streams().size(), 2u);
    EXPECT_EQ(session.containerHost.streams()[0]->getKind(), 272);
    EXPECT_EQ(session.containerHost.streams()[1]->getKind(), 288);
    EXPECT_EQ(container()->closeTitle(false), kResultSuccess);
    EXPECT_EQ(container()->close(), kResultSuccess);
    session.release();

    EXPECT_EQ(session.events.lines(),
              (Lines{"generateId 1001", "generateId 1002", "addStream 1002", "generateId 1003", "addStream 1003",
                     "activateStream 1002 1", "activateStream 1003 1", "removeStream 1002", "removeStream 1003",
                     "onPluginReleasing", "onPluginReleased"}));
    EXPECT_TRUE(session.containerHost.streams().empty());
    std::vector<LogLine> lines = log.lines();
    Lines seen;
    for (const LogLine& line : lines)
        seen.push_back(line.category + " " + line.function + ": " + line.message);
    EXPECT_EQ(seen, (Lines{"Container Qel::ContainerQuickTime::open: Movie duration: 6000 time scale: 600 "
                           "durationMS: 10000",
                           "Container Qel::ContainerQuickTime::openTitle: title has 2 tracks",
                           "Container Qel::ContainerQuickTime::openTitle:   found video stream 1",
                           "Container Qel::ContainerQuickTime::openTitle:   found audio stream 2",
                           "Container Qel::ContainerQuickTime::openTitle: activating video stream 1002",
                           "Container Qel::ContainerQuickTime::openTitle: activating audio stream 1003"}));
}

TEST_F(ContainerTitle, EverySoundTrackGetsAStreamAndOnlyTheFirstIsActivated)
{
    openMovie(Movie::soundTrack() + "," + Movie::soundTrack(6));
    EXPECT_EQ(openTitle(), (Lines{"title has 2 tracks", "  found audio stream 1", "  found audio stream 2",
                                  "activating audio stream 1002"}));
    EXPECT_EQ(session.events.lines(), (Lines{"generateId 1002", "addStream 1002", "generateId 1003",
                                             "addStream 1003", "activateStream 1002 1"}));
}

TEST_F(ContainerTitle, TracksOtherThanSoundAndVideoGetNoStream)
{
    openMovie(Movie::otherTrack(R"("text")") + "," + Movie::otherTrack(R"("abcd")") + "," +
              Movie::otherTrack("4026531840") + "," + Movie::otherTrack("null"));
    EXPECT_EQ(openTitle(), (Lines{"title has 4 tracks", "  ignoring text stream 1",
                                  "  found unknown stream 2, type: 1633837924",
                                  "  found unknown stream 3, type: -268435456",
                                  "  found unknown stream 4, type: 0"}));
    EXPECT_TRUE(session.events.all().empty());
}

TEST_F(ContainerTitle, MpegVideoTrackBecomesAVideoStream)
{
    openMovie(Movie::otherTrack(R"("text")") + "," + Movie::videoTrack("m1v "));
    EXPECT_EQ(openTitle(), (Lines{"title has 2 tracks", "  ignoring text stream 1", "  found video stream 2",
                                  "activating video stream 1002"}));
    ASSERT_EQ(session.containerHost.streams().size(), 1u);
    EXPECT_EQ(session.containerHost.streams()[0]->getKind(), 272);
}

TEST_F(ContainerTitle, MovieWithoutTracksOpensAnEmptyTitle)
{
    openMovie("");
    EXPECT_EQ(openTitle(), Lines{"title has 0 tracks"});
    EXPECT_TRUE(session.events.all().empty());
}

TEST_F(ContainerTitle, WrongTitleIdChangesNothingAndLogsNothing)
{
    openMovie(Movie::videoTrack());
    LogCapture log;
    EXPECT_EQ(container()->openTitle(session.onlyTitle() + 1), kResultFailure);
    EXPECT_TRUE(log.lines().empty());
    EXPECT_TRUE(session.events.all().empty());
}

// Video streams go first, each list from its newest stream.
TEST_F(ContainerTitle, CloseTitleGivesEveryStreamBackNewestFirstVideoBeforeAudio)
{
    openMovie(Movie::videoTrack() + "," + Movie::soundTrack() + "," + Movie::videoTrack() + "," +
              Movie::soundTrack());
    openTitle();
    session.events.clear();
    EXPECT_EQ(container()->closeTitle(true), kResultSuccess);
    EXPECT_TRUE(session.events.all().empty());
    EXPECT_EQ(session.containerHost.streams().size(), 4u);

    EXPECT_EQ(container()->closeTitle(false), kResultSuccess);
    EXPECT_EQ(session.events.lines(),
              (Lines{"removeStream 1004", "removeStream 1002", "removeStream 1005", "removeStream 1003"}));
    EXPECT_TRUE(session.containerHost.streams().empty());
    session.events.clear();
    EXPECT_EQ(container()->closeTitle(false), kResultSuccess);
    EXPECT_TRUE(session.events.all().empty());
}

TEST_F(ContainerTitle, CloseWithStreamsTakesThemBackBeforeDisposingTheMovie)
{
    openMovie(Movie::soundTrack() + "," + Movie::videoTrack());
    openTitle();
    session.events.clear();
    EXPECT_EQ(container()->close(), kResultSuccess);
    EXPECT_EQ(session.events.lines(), (Lines{"removeStream 1003", "removeStream 1002"}));
    EXPECT_EQ(container()->openTitle(session.onlyTitle()), kResultFailure);
}

// A container initialised again without a host has nobody to give its
// streams back to: it forgets them, and the host that took them keeps them.
TEST_F(ContainerTitle, CloseTitleWithoutAHostForgetsTheStreams)
{
    openMovie(Movie::videoTrack());
    openTitle();
    session.events.clear();
    container()->initialize(nullptr, 7);
    EXPECT_EQ(container()->closeTitle(false), kResultSuccess);
    EXPECT_EQ(container()->close(), kResultSuccess);
    EXPECT_TRUE(session.events.all().empty());
    EXPECT_EQ(session.containerHost.streams().size(), 1u);
}

// The last release closes the movie, which gives the streams back first.
TEST_F(ContainerTitle, ReleasingAContainerWithStreamsGivesThemBack)
{
    openMovie(Movie::videoTrack());
    openTitle();
    session.events.clear();
    session.release();
    EXPECT_EQ(session.events.lines(), (Lines{"onPluginReleasing", "removeStream 1002", "onPluginReleased"}));
}

// Without closeTitle in between, a second openTitle hands over a second set
// of streams and activates the first of each list again.
TEST_F(ContainerTitle, SecondOpenTitleAddsASecondSetOfStreams)
{
    openMovie(Movie::videoTrack());
    openTitle();
    EXPECT_EQ(openTitle(), (Lines{"title has 1 tracks", "  found video stream 1", "activating video stream 1002"}));
    EXPECT_EQ(session.containerHost.streams().size(), 2u);
    session.events.clear();
    container()->closeTitle(false);
    EXPECT_EQ(session.events.lines(), (Lines{"removeStream 1003", "removeStream 1002"}));
}

} // namespace
} // namespace Qel::Testing
