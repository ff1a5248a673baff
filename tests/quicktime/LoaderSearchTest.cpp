// Where the loader looks for QuickTime.qts, and the version rule, on every
// platform. Registry-driven searches are in LoaderRegistryTest_win32.cpp.
#include <fstream>

#include "RuntimeFixture.h"
#include "quicktime/QtLoader.h"

namespace Qel::Testing {
namespace {

bool fileExists(const std::string& path)
{
    return std::ifstream(path).good();
}

TEST_F(LoaderTest, AnAlreadyLoadedRuntimeIsFoundFirst)
{
    HeldRuntime echo("echo");
    char folder[kQtPathCapacity];
    ASSERT_EQ(QtFolderFind(folder, sizeof folder), 1);
    EXPECT_EQ(std::string(folder), testRuntimeFolder("echo"));
}

TEST_F(LoaderTest, WithoutRegistryFoldersTheSystemFolderIsSearched)
{
    char folder[kQtPathCapacity];
    ASSERT_EQ(QtFolderFind(folder, sizeof folder), 1);
    EXPECT_EQ(std::string(folder), systemFolderWithSeparator());

    // The extension folder is then the system folder's QuickTime sub-folder.
    char extension[kQtPathCapacity];
    const std::string expected = systemFolderWithSeparator() + "QuickTime" + kSeparator;
    EXPECT_EQ(QtExtensionFolderFind(extension, sizeof extension), expected.size());
    EXPECT_EQ(std::string(extension), expected);
}

TEST_F(LoaderTest, NoRuntimeAnywhereIsReportedAsNotFound)
{
    const std::string system = systemFolderWithSeparator();
    if (fileExists(system + kQtLibraryName) || fileExists(system + "QuickTime" + kSeparator + kQtLibraryName)) {
        // The system folder holds a runtime (elsewhere than Windows it is
        // this program's own folder): a copy of the program alone in an
        // empty folder finds none.
        TempFolder alone;
        const std::string name = "LoaderTest.NoRuntimeAnywhereIsReportedAsNotFound";
        const std::string output = runCopyOfThisProgram(alone, name);
        EXPECT_NE(output.find("[       OK ] " + name), std::string::npos) << output;
        return;
    }
    EXPECT_EQ(QtLoaderInit(64), kQtLibraryNotFound);
    EXPECT_EQ(state().library, nullptr);
    EXPECT_EQ(QtMoviesStart(), kQtNotBound);
}

TEST_F(LoaderTest, FileVersionIsReadFromTheLibrary)
{
    uint32_t high = 1;
    uint32_t low = 1;
    QtFileVersionRead((testRuntimeFolder("echo") + kQtLibraryName).c_str(), &high, &low);
    EXPECT_EQ(high, 0x00070007u);
    EXPECT_EQ(low, 0x00090000u);
    QtFileVersionRead((testRuntimeFolder("none") + kQtLibraryName).c_str(), &high, &low);
    EXPECT_EQ(high, 0u);
    EXPECT_EQ(low, 0u);
}

TEST_F(LoaderTest, VersionsBefore702AreNotNewEnough)
{
    {
        HeldRuntime old("old");
        EXPECT_EQ(QtLoaderVersionCheck(), 0);
        EXPECT_EQ(state().versionChecked, 1);
        EXPECT_EQ(state().library, nullptr);
    }
    QtLoaderResetForTesting();
    HeldRuntime oldestAccepted("new");
    EXPECT_EQ(QtLoaderVersionCheck(), 1);
}

} // namespace
} // namespace Qel::Testing
