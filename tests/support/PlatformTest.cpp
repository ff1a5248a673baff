#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <future>
#include <string>
#include <thread>

#include "PlatformTestSupport.h"
#include "support/Platform.h"

namespace Qel {
namespace {

using Testing::kWindows;
using Testing::moduleName;

const std::string kVersioned = moduleName("QelVersioned");

std::string fileNameOf(Platform::ModuleHandle module)
{
    char path[1024] = {};
    const uint32_t length = Platform::moduleFileName(module, path, sizeof path);
    return std::string(path, length < sizeof path ? length : 0);
}

bool endsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

TEST(PlatformModules, LoadFindAndFree)
{
    EXPECT_EQ(Platform::findLoadedModule(kVersioned.c_str()), nullptr);
    Platform::ModuleHandle module = Platform::loadModule(("./" + kVersioned).c_str());
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(Platform::findLoadedModule(kVersioned.c_str()), module);
    EXPECT_NE(Platform::findSymbol(module, "qelRuntimeFileVersion"), nullptr);
    EXPECT_EQ(Platform::findSymbol(module, "qelNoSuchSymbol"), nullptr);
    EXPECT_TRUE(endsWith(fileNameOf(module), kVersioned)) << fileNameOf(module);

    Platform::ModuleHandle again = Platform::loadModuleAt(fileNameOf(module).c_str());
    EXPECT_EQ(again, module);
    Platform::freeModule(again);
    EXPECT_EQ(Platform::findLoadedModule(kVersioned.c_str()), module);
    Platform::freeModule(module);
    EXPECT_EQ(Platform::findLoadedModule(kVersioned.c_str()), nullptr);

    EXPECT_EQ(Platform::loadModule(("./" + moduleName("QelNoSuchModule")).c_str()), nullptr);
}

// The module sits in the current folder (the test's), yet a path that is
// not absolute never reaches it.
TEST(PlatformModules, OnlyAnAbsolutePathIsLoadedAt)
{
    for (const std::string& relative : {kVersioned, "./" + kVersioned})
        EXPECT_EQ(Platform::loadModuleAt(relative.c_str()), nullptr) << relative;
    EXPECT_EQ(Platform::findLoadedModule(kVersioned.c_str()), nullptr);

    struct Case {
        const char* path;
        bool onWindows;
        bool onPosix;
    };
    const Case cases[] = {{"C:\\q", true, false}, {"c:/q", true, false}, {"\\\\server\\share", true, false},
                          {"/usr/lib", false, true}, {"C:q", false, false}, {"q\\r", false, false}, {"", false, false}};
    for (const Case& c : cases)
        EXPECT_EQ(Platform::isAbsolutePath(c.path), kWindows ? c.onWindows : c.onPosix) << c.path;
}

TEST(PlatformModules, ThisModuleIsTheCodeThatAsks)
{
    const std::string own = fileNameOf(Platform::thisModule());
    EXPECT_TRUE(endsWith(own, kWindows ? "test_support.exe" : "test_support")) << own;
}

TEST(PlatformModules, ModuleFileNameIsCutToTheCapacity)
{
    const std::string full = fileNameOf(Platform::thisModule());
    ASSERT_GT(full.size(), 5u);
    char cut[6];
    std::memset(cut, 'x', sizeof cut);
    EXPECT_EQ(Platform::moduleFileName(Platform::thisModule(), cut, 5), 5u);
    EXPECT_EQ(std::string(cut), full.substr(0, 4));
    EXPECT_EQ(cut[5], 'x');
}

TEST(PlatformFolders, SystemFolderReportsTheSizeItNeeds)
{
    char folder[1024] = {};
    const uint32_t length = Platform::systemFolder(folder, sizeof folder);
    ASSERT_GT(length, 0u);
    ASSERT_EQ(length, std::strlen(folder));
    EXPECT_TRUE(Platform::pathExists(folder));
    EXPECT_FALSE(Platform::pathExists("./qel-no-such-file"));
    char tiny[2] = {};
    EXPECT_EQ(Platform::systemFolder(tiny, sizeof tiny), length + 1);
    EXPECT_EQ(Platform::systemFolder(folder, length), length + 1);
    if (!kWindows) {
        // The folder of the plug-in: a module installed beside it is found.
        EXPECT_EQ(folder[length - 1], '/');
        EXPECT_TRUE(Platform::pathExists((std::string(folder) + kVersioned).c_str())) << folder;
    }
}

TEST(PlatformRegistry, ReadsValuesOnlyWhereThereIsARegistry)
{
    char value[256] = {};
    EXPECT_FALSE(Platform::registryRead("Software\\Qel\\NoSuchKey", "Value", value, sizeof value));
    const char* key = "Software\\Microsoft\\Windows NT\\CurrentVersion";
    EXPECT_EQ(Platform::registryRead(key, "CurrentVersion", value, sizeof value), kWindows);
    EXPECT_FALSE(Platform::registryRead(key, "NoSuchValue", value, sizeof value));
    EXPECT_FALSE(Platform::registryRead(key, "CurrentVersion", value, 1));
}

TEST(PlatformVersions, FileVersionOfAModule)
{
    uint32_t high = 1;
    uint32_t low = 1;
    const std::string own = fileNameOf(Platform::thisModule());
    const std::string versioned = own.substr(0, own.find_last_of("\\/") + 1) + kVersioned;
    Platform::fileVersion(versioned.c_str(), &high, &low);
    EXPECT_EQ(high, 0x00070007u);
    EXPECT_EQ(low, 0x00090000u);
    Platform::fileVersion(versioned.c_str(), nullptr, &low);
    EXPECT_EQ(low, 0x00090000u);

    Platform::fileVersion("./qel-no-such-module", &high, &low);
    EXPECT_EQ(high, 0u);
    EXPECT_EQ(low, 0u);
}

// Runs lock() of a mutex with the given name on another thread; the future
// becomes ready once that thread holds it (and has released it again).
std::future<void> lockElsewhere(const char* name)
{
    return std::async(std::launch::async, [name] {
        Platform::NamedMutex other(name);
        other.lock();
        other.unlock();
    });
}

bool finishesSoon(std::future<void>& done)
{
    return done.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
}

TEST(PlatformNamedMutex, ExcludesOtherHoldersOfTheSameName)
{
    Platform::NamedMutex mutex("QelTestMutexSame");
    ASSERT_TRUE(mutex.valid());
    mutex.lock();
    std::future<void> other = lockElsewhere("QelTestMutexSame");
    EXPECT_EQ(other.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
    std::future<void> unrelated = lockElsewhere("QelTestMutexOther");
    EXPECT_TRUE(finishesSoon(unrelated));
    mutex.unlock();
    EXPECT_TRUE(finishesSoon(other));
}

TEST(PlatformNamedMutex, IsRecursiveAndReleasedWhenDestroyed)
{
    {
        Platform::NamedMutex mutex("QelTestMutexRecursive");
        mutex.lock();
        mutex.lock();
        mutex.unlock();
        std::future<void> other = lockElsewhere("QelTestMutexRecursive");
        EXPECT_EQ(other.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
        mutex.unlock();
        EXPECT_TRUE(finishesSoon(other));
    }
    std::future<void> other;
    {
        Platform::NamedMutex mutex("QelTestMutexRecursive");
        mutex.lock();
        other = lockElsewhere("QelTestMutexRecursive");
    }
    EXPECT_TRUE(finishesSoon(other));
}

} // namespace
} // namespace Qel
