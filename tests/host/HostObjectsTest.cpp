// The test host's own objects: what a test relies on when it reads the
// recorded calls, hands the plug-in a location or a clock, or lets the host
// take streams over.
#include <gtest/gtest.h>

#include <thread>

#include "HostClocks.h"
#include "HostEvents.h"
#include "HostLocation.h"
#include "PluginModule.h"
#include "RecordingContainerHost.h"
#include "TempFolder.h"
#include "streams/StreamInterface.h"

namespace Qel::Host {
namespace {

TEST(FileUrlFromPath, EncodesAsciiBytesOutsideThePathCharacters)
{
    EXPECT_EQ(fileUrlFromPath("/tmp/movie.mov"), "file:///tmp/movie.mov");
    EXPECT_EQ(fileUrlFromPath("/tmp/a b%c#d?e.mov"), "file:///tmp/a%20b%25c%23d%3Fe.mov");
    EXPECT_EQ(fileUrlFromPath("/tmp/\xC3\xA9t\xC3\xA9.mov"), "file:///tmp/\xC3\xA9t\xC3\xA9.mov");
    EXPECT_EQ(fileUrlFromPath("C:\\dir\\a b.mov"), "file:///C:/dir/a%20b.mov");
}

// A stream that counts its destructions, to see who destroys it and when.
class CountedStream : public StreamInterface {
    QEL_DESTRUCTOR_SLOT(CountedStream)
public:
    CountedStream(uint64_t id, int* destroyed) : StreamInterface(7, id, 0), destroyed(destroyed) {}
    uint32_t getDuration() override { return 0; }
    bool queryOption(uint32_t, uint32_t, uint32_t, uint32_t) override { return false; }
    StreamFormat* getFormat() override { return nullptr; }
    Properties* getProperties() override { return nullptr; }
    int32_t getKind() override { return 0; }
    int32_t openStream(HostClock*) override { return 0; }
    int32_t rewindStream() override { return 0; }
    int32_t getSyncPoint(int32_t, uint32_t, uint32_t*) override { return 0; }
    int32_t seekStream(uint32_t, uint32_t*, int32_t) override { return 0; }
    int32_t closeStream() override { return 0; }
    int32_t readStream(MediaChunk**) override { return 0; }

private:
    ~CountedStream() { ++*destroyed; }
    int* destroyed;
};

TEST(RecordingContainerHost, DestroysAStreamWhenItIsRemovedAndTheRestWithItself)
{
    HostEventLog log;
    int destroyed = 0;
    {
        RecordingContainerHost host(log, 500);
        uint64_t first = host.generateId();
        uint64_t second = host.generateId();
        host.addStream(new CountedStream(first, &destroyed));
        host.addStream(new CountedStream(second, &destroyed));
        host.activateStream(second, 1);
        host.removeStream(first);
        EXPECT_EQ(destroyed, 1);
        EXPECT_EQ(host.stream(first), nullptr);
        EXPECT_NE(host.stream(second), nullptr);
        host.removeStream(999);  // unknown: recorded, nothing destroyed
        EXPECT_EQ(destroyed, 1);
    }
    EXPECT_EQ(destroyed, 2);
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"generateId 500", "generateId 501", "addStream 500",
                                                     "addStream 501", "activateStream 501 1", "removeStream 500",
                                                     "removeStream 999"}));
}

TEST(RealClock, RunsAtItsSpeedAndHoldsItsTimeWhenStopped)
{
    RealClock backwards(-2000, 10000);
    EXPECT_FALSE(backwards.isRunning());
    EXPECT_EQ(backwards.getTime(), 10000);
    backwards.start();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    backwards.stop();
    int32_t reached = backwards.getTime();
    EXPECT_LE(reached, 10000 - 60);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(backwards.getTime(), reached);
}

TEST(PluginModule, ReportsAFolderWithoutThePlugIn)
{
    Testing::TempFolder empty;
    PluginModule module(empty.path(""));
    EXPECT_FALSE(module.loaded());
    EXPECT_EQ(module.getPlugin(), nullptr);
    EXPECT_NE(module.error().find(PluginModule::kFileName), std::string::npos);
}

TEST(PluginModule, LoadsThePlugInFromTheProgramsFolder)
{
    PluginModule module;
    ASSERT_TRUE(module.loaded()) << module.error();
    EXPECT_EQ(module.path(), PluginModule::programFolder() + PluginModule::kFileName);
}

} // namespace
} // namespace Qel::Host
