// The loader's search through the registry and the system folder, with real
// values under HKLM\Software\Apple Computer, Inc.\QuickTime and runtime
// libraries copied into the test's own folders.
#include <windows.h>

#include <cstring>
#include <filesystem>
#include <memory>

#include "RuntimeFixture.h"
#include "TempFolder.h"
#include "quicktime/QtLoader.h"

namespace Qel::Testing {
namespace {

// A registry value that exists for the object's lifetime.
class RegistryValue {
public:
    RegistryValue(const char* valueName, const std::string& text) : name(valueName)
    {
        HKEY key = nullptr;
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kQtRegistryKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                            nullptr) != ERROR_SUCCESS)
            return;
        written = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                 static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
        RegCloseKey(key);
    }
    ~RegistryValue()
    {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kQtRegistryKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
            return;
        RegDeleteValueA(key, name);
        RegCloseKey(key);
    }
    RegistryValue(const RegistryValue&) = delete;
    RegistryValue& operator=(const RegistryValue&) = delete;

    bool ok() const { return written; }

private:
    const char* name;
    bool written = false;
};

// A folder holding a copy of the echo runtime.
class RuntimeFolder {
public:
    RuntimeFolder() : path(folder.path("runtime"))
    {
        std::filesystem::create_directories(path);
        std::filesystem::copy_file(testRuntimeFolder("echo") + kQtLibraryName, path + "\\" + kQtLibraryName);
    }
    TempFolder folder;
    std::string path;
};

std::string loadedLibraryFile()
{
    char file[MAX_PATH] = "";
    Platform::moduleFileName(qelQtLoaderState.library, file, sizeof file);
    return file;
}

bool samePath(const std::string& a, const std::string& b)
{
    return _stricmp(a.c_str(), b.c_str()) == 0;
}

std::string folderFound()
{
    char folder[kQtPathCapacity];
    return QtFolderFind(folder, sizeof folder) ? folder : "";
}

TEST_F(LoaderTest, RegistryFoldersAreSearchedInOrderAndMissingOnesSkipped)
{
    RuntimeFolder first;
    RuntimeFolder second;
    {
        RegistryValue system("QTSysDir", first.path);
        RegistryValue folder("QuickTime.qts folder", second.path);
        ASSERT_TRUE(system.ok() && folder.ok());
        EXPECT_TRUE(samePath(folderFound(), first.path + "\\"));

        ASSERT_EQ(QtLoaderInit(64), 0);
        EXPECT_TRUE(samePath(loadedLibraryFile(), first.path + "\\QuickTime.qts"));
        QtLoaderTerm();
    }
    {
        RegistryValue system("QTSysDir", first.path + "\\missing\\");
        RegistryValue folder("QuickTime.qts folder", second.path + "\\");
        EXPECT_TRUE(samePath(folderFound(), second.path + "\\"));
    }
    {
        RegistryValue system("QTSysDir", first.path + "\\missing");
        RegistryValue folder("QuickTime.qts folder", second.path + "\\missing");
        EXPECT_TRUE(samePath(folderFound(), systemFolderWithSeparator()));
    }
    {
        // Relative to the current folder (the test's), which does hold a
        // runtime there: a folder that is anyone's, so it counts as missing.
        ASSERT_TRUE(Platform::pathExists("testing\\echo\\QuickTime.qts"));
        RegistryValue system("QTSysDir", "testing\\echo");
        RegistryValue folder("QuickTime.qts folder", second.path);
        EXPECT_TRUE(samePath(folderFound(), second.path + "\\"));
    }
}

TEST_F(LoaderTest, AnAlreadyLoadedRuntimeComesBeforeTheRegistry)
{
    RuntimeFolder installed;
    RegistryValue system("QTSysDir", installed.path);
    HeldRuntime echo("echo");
    EXPECT_TRUE(samePath(folderFound(), testRuntimeFolder("echo")));
}

// An absolute folder is taken without an existence test; a relative one
// (from the current folder, or from its drive's root) counts as missing, and
// the system folder's sub-folder takes its place.
TEST_F(LoaderTest, ExtensionFolderIsTakenWhenAbsolute)
{
    const std::string fallback = systemFolderWithSeparator() + "QuickTime\\";
    const struct {
        const char* value;
        std::string expected;
    } cases[] = {
        {"C:\\no\\such\\folder", "C:\\no\\such\\folder\\"},
        {"testing\\echo", fallback},
        {"\\no\\such\\folder", fallback},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        RegistryValue extension("QTExtDir", c.value);
        char path[kQtPathCapacity];
        EXPECT_EQ(QtExtensionFolderFind(path, sizeof path), c.expected.size());
        EXPECT_TRUE(samePath(path, c.expected));
    }
}

TEST_F(LoaderTest, SecondAttemptLoadsFromTheExtensionFolder)
{
    TempFolder empty;
    RuntimeFolder extensions;
    RegistryValue system("QTSysDir", empty.path(""));
    RegistryValue extension("QTExtDir", extensions.path);
    ASSERT_EQ(QtLoaderInit(64), 0);
    EXPECT_TRUE(samePath(loadedLibraryFile(), extensions.path + "\\QuickTime.qts"));
    QtLoaderTerm();
}

TEST_F(LoaderTest, ARelativeExtensionFolderLoadsNothing)
{
    TempFolder empty;
    RegistryValue system("QTSysDir", empty.path(""));
    RegistryValue extension("QTExtDir", "testing\\echo");
    EXPECT_EQ(QtLoaderInit(64), -2093);
    EXPECT_EQ(Platform::findLoadedModule(kQtLibraryName), nullptr);
}

// Also when "QTExtDir" names a relative folder, which counts as missing.
TEST_F(LoaderTest, WhenTheQuickTimeFolderIsTheSystemFolderTheSubfolderIsTried)
{
    const std::string subfolder = systemFolderWithSeparator() + "QuickTime";
    const std::string library = subfolder + "\\" + kQtLibraryName;
    std::filesystem::create_directories(subfolder);
    std::filesystem::copy_file(testRuntimeFolder("echo") + kQtLibraryName, library,
                               std::filesystem::copy_options::overwrite_existing);

    for (bool relativeExtensionFolder : {false, true}) {
        SCOPED_TRACE(relativeExtensionFolder);
        std::unique_ptr<RegistryValue> extension;
        if (relativeExtensionFolder)
            extension = std::make_unique<RegistryValue>("QTExtDir", "testing\\echo");
        EXPECT_EQ(QtLoaderInit(64), 0);
        EXPECT_TRUE(samePath(loadedLibraryFile(), library));
        QtLoaderTerm();
    }

    std::error_code ignored;
    std::filesystem::remove_all(subfolder, ignored);
}

TEST_F(LoaderTest, RegistryValueWithoutRoomForTheSeparatorIsTreatedAsAbsent)
{
    char text[kQtPathCapacity];
    {
        RegistryValue full("QTSysDir", std::string(kQtPathCapacity - 1, 'a'));
        QtRegistryFolderRead(kQtRegistryKey, "QTSysDir", text, sizeof text);
        EXPECT_STREQ(text, "");
    }
    {
        RegistryValue roomForOne("QTSysDir", std::string(kQtPathCapacity - 2, 'a'));
        QtRegistryFolderRead(kQtRegistryKey, "QTSysDir", text, sizeof text);
        EXPECT_EQ(std::string(text), std::string(kQtPathCapacity - 2, 'a') + "\\");
    }
    {
        RegistryValue slash("QTSysDir", "C:/folder/");
        QtRegistryFolderRead(kQtRegistryKey, "QTSysDir", text, sizeof text);
        EXPECT_STREQ(text, "C:/folder/");
    }
    QtRegistryFolderRead(kQtRegistryKey, "QTSysDir", text, sizeof text);
    EXPECT_STREQ(text, "");
}

} // namespace
} // namespace Qel::Testing
