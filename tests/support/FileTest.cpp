#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/File.h"
#include "support/Platform.h"
#include "support/TextConversion.h"

namespace Qel {
namespace {

namespace fs = std::filesystem;

// A private folder for one test, removed with everything in it.
class FileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        // Named by process as well, so that concurrent runs of the suite
        // (other builds, other test processes) never share a folder.
        folder = fs::temp_directory_path()
                 / ("qel-file-" + std::to_string(Platform::currentProcessId()) + "-" + info->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }

    fs::path pathOf(const std::string& name) const { return folder / name; }
    std::u16string widePathOf(const std::string& name) const { return pathOf(name).u16string(); }

    void writeFile(const std::string& name, const std::string& content) const
    {
        std::ofstream(pathOf(name), std::ios::binary) << content;
    }

    fs::path folder;
};

// What one open mode does to an existing file of 10 bytes and to a missing
// file: the status, whether the file then exists and its size, and where
// the file pointer starts.
struct ModeEffect {
    int mode;
    int statusWhenMissing;
    bool keepsContent;
    bool startsAtEnd;
    int statusWhenExisting;
};

constexpr ModeEffect kModeEffects[] = {
    {File::kReadExisting, File::kOpenFailed, true, false, File::kOk},
    {File::kWriteTruncate, File::kOk, false, false, File::kOk},
    {File::kWriteNew, File::kOk, true, false, File::kOpenFailed},
    {File::kReadWriteTruncate, File::kOk, false, false, File::kOk},
    {File::kReadWriteAlways, File::kOk, true, false, File::kOk},
    {File::kReadWriteNew, File::kOk, true, false, File::kOpenFailed},
    {File::kWriteAppend, File::kOk, true, true, File::kOk},
    {File::kReadWriteAppend, File::kOk, true, true, File::kOk},
};

TEST_F(FileTest, EachModeOnAMissingFile)
{
    for (const ModeEffect& effect : kModeEffects) {
        SCOPED_TRACE("mode " + std::to_string(effect.mode));
        const std::string name = "missing" + std::to_string(effect.mode);
        File file;
        EXPECT_EQ(file.open(widePathOf(name), effect.mode), effect.statusWhenMissing);
        const bool created = effect.statusWhenMissing == File::kOk;
        EXPECT_EQ(fs::exists(pathOf(name)), created);
        if (created) {
            EXPECT_EQ(file.size(), 0u);
            EXPECT_EQ(file.position(), 0u);
        }
    }
}

TEST_F(FileTest, EachModeOnAnExistingFile)
{
    for (const ModeEffect& effect : kModeEffects) {
        SCOPED_TRACE("mode " + std::to_string(effect.mode));
        const std::string name = "existing" + std::to_string(effect.mode);
        writeFile(name, "0123456789");
        {
            File file;
            ASSERT_EQ(file.open(widePathOf(name), effect.mode), effect.statusWhenExisting);
            if (effect.statusWhenExisting == File::kOk) {
                EXPECT_EQ(file.size(), effect.keepsContent ? 10u : 0u);
                EXPECT_EQ(file.position(), effect.startsAtEnd ? 10u : 0u);
            }
        }
        EXPECT_EQ(fs::file_size(pathOf(name)), effect.keepsContent ? 10u : 0u);
    }
}

TEST_F(FileTest, OpenRefusesABadModeAndASecondFile)
{
    writeFile("first", "12345");
    writeFile("second", "123");
    File file;
    EXPECT_EQ(file.open(widePathOf("first"), 8), File::kBadMode);
    EXPECT_EQ(file.open(widePathOf("first"), -1), File::kBadMode);
    EXPECT_FALSE(fs::exists(pathOf("never")));
    ASSERT_EQ(file.open(widePathOf("first"), File::kReadExisting), File::kOk);
    EXPECT_EQ(file.open(widePathOf("second"), File::kReadExisting), File::kAlreadyOpen);
    EXPECT_EQ(file.size(), 5u);
}

TEST_F(FileTest, FailedOpenOrCloseLeavesTheFileReusable)
{
    writeFile("present", "1234");
    File file;
    EXPECT_EQ(file.close(), File::kOk);
    EXPECT_EQ(file.open(widePathOf("absent"), File::kReadExisting), File::kOpenFailed);
    EXPECT_EQ(file.size(), File::kNoSize);
    EXPECT_EQ(file.position(), UINT64_MAX);
    // A folder is not a file on either platform.
    EXPECT_EQ(file.open(folder.u16string(), File::kReadExisting), File::kOpenFailed);
    EXPECT_EQ(file.open(u"", File::kReadExisting), File::kOpenFailed);
    ASSERT_EQ(file.open(widePathOf("present"), File::kReadExisting), File::kOk);
    EXPECT_EQ(file.close(), File::kOk);
    EXPECT_EQ(file.close(), File::kOk);
    EXPECT_EQ(file.size(), File::kNoSize);
    ASSERT_EQ(file.open(widePathOf("present"), File::kReadExisting), File::kOk);
    EXPECT_EQ(file.size(), 4u);
}

TEST_F(FileTest, OpensNamesBeyondAscii)
{
    const std::u16string name = u"\u00E9t\u00E9 \u20AC \xD83D\xDE00.mov";
    std::ofstream(folder / fs::path(name), std::ios::binary) << "abc";
    File file;
    ASSERT_EQ(file.open(folder.u16string() + u"/" + name, File::kReadExisting), File::kOk);
    EXPECT_EQ(file.size(), 3u);
}

// A sparse file beyond 4 GiB: the size and the restored pointer both need
// their high 32 bits.
TEST_F(FileTest, SizeOfALargeFileLeavesThePointerWhereItWas)
{
    constexpr uint64_t kSize = (5ull << 30) + 3;
    constexpr uint64_t kPointer = (4ull << 30) + 7;
    {
        std::ofstream(pathOf("large"), std::ios::binary);
    }
    fs::resize_file(pathOf("large"), kSize);
    File file;
    ASSERT_EQ(file.open(widePathOf("large"), File::kReadExisting), File::kOk);
    ASSERT_TRUE(file.setPosition(kPointer));
    EXPECT_EQ(file.size(), kSize);
    EXPECT_EQ(file.position(), kPointer);
    ASSERT_TRUE(file.setPosition(3));
    EXPECT_EQ(file.size(), kSize);
    EXPECT_EQ(file.position(), 3u);
}

} // namespace
} // namespace Qel
