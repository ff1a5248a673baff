// The container's identity, its MIME type table and the queries that need
// no movie, through the real module as a host reaches them.
#include <gtest/gtest.h>

#include "ContainerSession.h"
#include "LogCapture.h"
#include "TempFolder.h"
#include "VtableCall.h"
#include "plugin/ResultCodes.h"

namespace Qel::Testing {
namespace {

class ContainerBasics : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(session.container, nullptr); }

    ContainerSession session;
    ContainerInterface* container() { return session.container; }
};

TEST_F(ContainerBasics, MimeTypesAreListedInByteOrderAndMatchedExactly)
{
    const char* expected[] = {"application/mp4", "audio/mp4",       "video/avi",     "video/mp4",      "video/mpeg",
                              "video/msvideo",   "video/quicktime", "video/vnd.avi", "video/x-msvideo"};
    ASSERT_EQ(callSlot<uint32_t>(container(), 16), 9u);
    for (uint32_t index = 0; index < 9; ++index) {
        String<unsigned char> mimeType = callByValue(*container(), &ContainerInterface::getMimeType, index);
        EXPECT_EQ(mimeType.toStdString(), expected[index]);
        EXPECT_EQ(callSlot<int32_t>(container(), 18, index), 2000);
        EXPECT_EQ(container()->getMimeTypePriority(mimeType), 2000);
    }
    String<unsigned char> pastEnd = callByValue(*container(), &ContainerInterface::getMimeType, 9);
    EXPECT_EQ(pastEnd.data, nullptr);
    EXPECT_EQ(pastEnd.length, 0u);
    EXPECT_EQ(container()->getMimeTypePriorityAt(9), 0);
    EXPECT_EQ(container()->getMimeTypePriorityAt(0xFFFFFFFFu), 0);

    EXPECT_EQ(container()->getMimeTypePriority(text("video/QuickTime")), -1);
    EXPECT_EQ(container()->getMimeTypePriority(text("video/quicktime ")), -1);
    EXPECT_EQ(container()->getMimeTypePriority(text("video/quicktim")), -1);
    EXPECT_EQ(container()->getMimeTypePriority(text("")), -1);
    EXPECT_EQ(container()->getMimeTypePriority(String<unsigned char>()), -1);
}

TEST_F(ContainerBasics, InterfaceQueryAnswersOnlyTheContainerIdentifierWithoutAddingAReference)
{
    Plugin* plugin = session.plugin;
    void* view = &view;
    EXPECT_EQ(plugin->queryInterface(identifier("com.ombrix.flowvane.interface.component"), &view), 3);
    EXPECT_EQ(view, nullptr);
    view = &view;
    EXPECT_EQ(plugin->queryInterface(identifier("com.ombrix.flowvane.interface.Container"), &view), 3);
    EXPECT_EQ(view, nullptr);
    EXPECT_EQ(plugin->queryInterface(String<char>(), &view), 3);
    EXPECT_EQ(plugin->queryInterface(identifier(kContainerInterfaceName), nullptr), 3);

    EXPECT_EQ(plugin->queryInterface(identifier(kContainerInterfaceName), &view), 0);
    EXPECT_EQ(view, static_cast<void*>(container()));
    EXPECT_EQ(plugin->getReferenceCount(), 1);
}

TEST_F(ContainerBasics, InitializeGivesTheContainerItsIdentityAndDrawsTheTitleId)
{
    EXPECT_EQ(callSlot<uint64_t>(container(), 7), 0u);
    EXPECT_EQ(session.onlyTitle(), 0u);

    session.initialize(42);
    EXPECT_EQ(callSlot<uint64_t>(container(), 7), 42u);
    EXPECT_EQ(session.onlyTitle(), 1001u);
    EXPECT_EQ(session.events.lines(), std::vector<std::string>{"generateId 1001"});

    // Without a host nothing is drawn and the title keeps its id.
    container()->initialize(nullptr, 43);
    EXPECT_EQ(container()->getContainerId(), 43u);
    EXPECT_EQ(session.onlyTitle(), 1001u);
    EXPECT_EQ(session.events.lines().size(), 1u);
}

TEST_F(ContainerBasics, ReservedSlotsAnswerTheirFixedValues)
{
    uint32_t first = 7;
    uint32_t second = 9;
    EXPECT_EQ(callSlot<int32_t>(container(), 8, &first, &second), 0);
    EXPECT_EQ(first, 0u);
    EXPECT_EQ(second, 0u);
    second = 9;
    EXPECT_EQ(container()->reserved8(nullptr, &second), 0);
    EXPECT_EQ(second, 0u);
    EXPECT_EQ(callSlot<int32_t>(container(), 4, uint32_t(5)), kResultFailure);
    callSlot<void>(container(), 3, uint32_t(5));
    EXPECT_EQ(session.plugin->getReferenceCount(), 1);
}

TEST_F(ContainerBasics, TitleNameOfAnyOtherIdIsEmpty)
{
    session.initialize();
    for (uint64_t id : {uint64_t(0), uint64_t(1000), uint64_t(1002)}) {
        String<unsigned char> name = callByValue(*container(), &ContainerInterface::getTitleName, id);
        EXPECT_EQ(name.data, nullptr);
        EXPECT_EQ(name.length, 0u);
    }
}

TEST_F(ContainerBasics, FileSizeNeedsAPathAndAPlaceToPutIt)
{
    uint64_t size = 77;
    EXPECT_EQ(callSlot<int32_t>(container(), 14, &size), kResultFailure);
    EXPECT_EQ(size, 77u);
    EXPECT_EQ(container()->getFileSize(nullptr), kResultFailure);
}

// Texts that are no local file URL never reach the runtime and leave the
// path as it was: a web URL, relative text, and locations without text.
TEST_F(ContainerBasics, LocationsThatAreNoLocalFileAreRefusedBeforeTheRuntime)
{
    session.initialize();
    Host::HostLocation web = Host::HostLocation::fromUrl("http://example.com/movie.mov");
    Host::HostLocation relative = Host::HostLocation::fromUrl("movie.mov");
    Host::HostLocation emptyText = Host::HostLocation::withEmptyText();
    Host::HostLocation noText = Host::HostLocation::withoutText();
    for (const Location* location : {static_cast<const Location*>(&web), static_cast<const Location*>(&relative),
                                     static_cast<const Location*>(&emptyText), static_cast<const Location*>(&noText),
                                     static_cast<const Location*>(nullptr)}) {
        EXPECT_EQ(container()->open(location), kResultNotALocalPath);
        EXPECT_FALSE(container()->canOpen(location, 0, 0, 0));
        EXPECT_EQ(callByValue(*container(), &ContainerInterface::getPath).data, nullptr);
    }
}

// A path that does not fit the 260-character conversion buffer.
TEST_F(ContainerBasics, LocationLongerThanThePathBufferIsRefused)
{
    TempFolder folder;
    std::string longPath = folder.path(std::string(300, 'a') + ".mov");
    EXPECT_EQ(session.open(longPath), kResultNotALocalPath);
    EXPECT_EQ(callByValue(*container(), &ContainerInterface::getPath).data, nullptr);
}

// The title's tracks can only go to a host, and only when a movie is open.
TEST_F(ContainerBasics, TitleOperationsWithoutHostOrMovieFailQuietly)
{
    LogCapture log;
    EXPECT_EQ(container()->openTitle(0), kResultFailure);
    EXPECT_EQ(container()->closeTitle(false), kResultSuccess);
    session.initialize();
    EXPECT_EQ(container()->openTitle(session.onlyTitle()), kResultFailure);
    EXPECT_EQ(container()->openTitle(session.onlyTitle() + 1), kResultFailure);
    EXPECT_EQ(container()->closeTitle(true), kResultSuccess);
    EXPECT_EQ(container()->closeTitle(false), kResultSuccess);
    EXPECT_EQ(container()->close(), kResultSuccess);
    EXPECT_TRUE(log.lines().empty());
    EXPECT_EQ(session.events.lines(), std::vector<std::string>{"generateId 1001"});
}

} // namespace
} // namespace Qel::Testing
