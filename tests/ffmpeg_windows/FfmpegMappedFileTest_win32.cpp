// The mapped movie file on Windows: views on the allocation granularity's
// grid hand out the file's bytes wherever a sample lies, from a path that
// is not ASCII; a file cut short while mapped (by a writer the system does
// not stop: under Wine a Unix program) fails the reads of what it no longer
// holds, and the preparation of its pages, instead of raising an in-page
// error.
#include "formats/mp4/FfmpegBoxes.h"
#include "io/FfmpegFileMapping.h"
#include "io/FfmpegMappedFile.h"
#include "io/FfmpegPageFaulter.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace Qel::Testing {
namespace {

using namespace QelRuntime;

using QelRuntime::SampleBytes;

std::string utf8Of(const std::wstring& wide)
{
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(size_t(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, utf8.data(), bytes, nullptr, nullptr);
    utf8.pop_back();
    return utf8;
}

// A file of patterned bytes in the temporary folder, deleted at the end,
// which a second writer can cut short.
class PatternFile {
public:
    explicit PatternFile(size_t size) : bytes_(size, '\0')
    {
        for (size_t i = 0; i < size; ++i)
            bytes_[i] = char((i * 7 + i / 251) & 0xFF);
        wchar_t folder[MAX_PATH];
        GetTempPathW(MAX_PATH, folder);
        path_ = std::wstring(folder) + L"qel-f\u00efl\u043c-" + std::to_wstring(GetCurrentProcessId()) + L".mov";
        const HANDLE file = CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        EXPECT_TRUE(WriteFile(file, bytes_.data(), DWORD(size), &written, nullptr) && written == size);
        CloseHandle(file);
    }
    ~PatternFile() { DeleteFileW(path_.c_str()); }
    PatternFile(const PatternFile&) = delete;
    PatternFile& operator=(const PatternFile&) = delete;

    std::string path() const { return utf8Of(path_); }
    std::string bytes(int64_t offset, int64_t size) const { return bytes_.substr(size_t(offset), size_t(size)); }

    // Cuts the file to length while it is mapped, as only a writer beyond
    // the system's reach can: Windows, and Wine like it, refuses to cut a
    // file that has a mapping (ERROR_USER_MAPPED_FILE), but another machine
    // can through a file server, or under Wine a Unix program. False when
    // no such writer is at hand.
    bool cutFromOutsideTo(int64_t length) const
    {
        using UnixFileName = char*(__cdecl*)(const wchar_t*);
        const auto unixFileName = reinterpret_cast<UnixFileName>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
        char* unixPath = unixFileName ? unixFileName(path_.c_str()) : nullptr;
        if (!unixPath)
            return false;
        std::wstring command = L"/usr/bin/truncate -s " + std::to_wstring(length) + L" \"" + wideOf(unixPath) + L"\"";
        HeapFree(GetProcessHeap(), 0, unixPath);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
            return false;
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        // Wine's handle of a Unix process is signalled at once, not when it
        // ends: wait for the cut itself, a few seconds at most.
        for (int wait = 0; wait < 250 && sizeNow() != length; ++wait)
            Sleep(20);
        return sizeNow() == length;
    }

private:
    static std::wstring wideOf(const char* utf8)
    {
        const int units = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
        std::wstring wide(size_t(units), L'\0');
        MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide.data(), units);
        wide.pop_back();
        return wide;
    }

    int64_t sizeNow() const
    {
        WIN32_FILE_ATTRIBUTE_DATA attributes{};
        if (!GetFileAttributesExW(path_.c_str(), GetFileExInfoStandard, &attributes))
            return -1;
        return int64_t(uint64_t(attributes.nFileSizeHigh) << 32 | attributes.nFileSizeLow);
    }

    std::string bytes_;
    std::wstring path_;
};

class FfmpegMappedFileWindowsTest : public ::testing::Test {
protected:
    void expectBytes(int64_t offset, int64_t size, SampleBytes& bytes)
    {
        ASSERT_TRUE(file->map(offset, size, bytes)) << offset << "+" << size;
        ASSERT_EQ(bytes.size, size_t(size));
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data), bytes.size), pattern.bytes(offset, size))
            << offset << "+" << size;
    }

    const int64_t grain = FfmpegFileMapping::granularity();
    PatternFile pattern{size_t(grain * 10 + 123)};
    std::unique_ptr<FfmpegMappedFile> file = FfmpegMappedFile::open(pattern.path(), grain * 2);
};

TEST_F(FfmpegMappedFileWindowsTest, HandsOutTheFilesBytesWhereverASampleLies)
{
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(FfmpegMappedFile::open(pattern.path(), grain / 2), nullptr);  // not whole grains
    const int64_t end = grain * 10 + 123;
    const struct {
        int64_t offset;
        int64_t size;
    } ranges[] = {{0, 10}, {grain - 5, 10}, {grain * 2 - 1, grain * 3}, {end - 100, 100},
                  {grain * 6, 7}, {grain * 4 + 1, 7}, {grain * 2 + 3, 7}, {0, end}};
    for (const auto& range : ranges) {
        SampleBytes bytes;
        expectBytes(range.offset, range.size, bytes);
    }
    SampleBytes outside;
    EXPECT_FALSE(file->map(end - 1, 2, outside));
}

TEST_F(FfmpegMappedFileWindowsTest, SamplesCutOffTheFileWhileMappedAreRefusedNotFaulted)
{
    ASSERT_NE(file, nullptr);
    SampleBytes held;
    expectBytes(0, grain * 3, held);  // the first window, the next one prepared
    if (!pattern.cutFromOutsideTo(grain * 3 + 10))
        GTEST_SKIP() << "no writer beyond Windows' reach to cut the file";
    SampleBytes bytes;
    EXPECT_FALSE(file->map(grain * 3, 11, bytes));
    EXPECT_FALSE(file->map(grain * 5, grain, bytes));
    expectBytes(grain * 3, 10, bytes);
}

// The walks over a file's boxes read it at offsets through one buffer (a
// range longer than a read is mapped): the file's bytes wherever a range
// lies, nothing past its end or past a cut made since it was opened.
TEST(FfmpegBoxWalkWindows, GetsTheFilesBytesAndNothingPastItsEnd)
{
    const int64_t end = (int64_t(5) << 20) + 3;
    PatternFile pattern{size_t(end)};
    const std::unique_ptr<FfmpegFileMapping> mapping = FfmpegFileMapping::open(pattern.path());
    ASSERT_NE(mapping, nullptr);
    FileWindow window(*mapping);
    const std::pair<int64_t, int64_t> ranges[] = {{0, 16}, {4000, 200}, {100, 20000}, {end - 1, 1}, {1, end - 1}};
    for (const auto& [offset, size] : ranges) {
        const uint8_t* bytes = window.bytes(offset, size_t(size));
        ASSERT_NE(bytes, nullptr) << offset << "+" << size;
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes), size_t(size)), pattern.bytes(offset, size))
            << offset << "+" << size;
    }
    EXPECT_EQ(window.bytes(end - 10, 11), nullptr);
    if (!pattern.cutFromOutsideTo(100000))
        GTEST_SKIP() << "no writer beyond Windows' reach to cut the file";
    EXPECT_EQ(window.bytes(99990, 11), nullptr);
    const uint8_t* last = window.bytes(99990, 10);
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(last), 10), pattern.bytes(99990, 10));
}

TEST(FfmpegPageFaulterWindows, ReportsAPartCutOffTheFileInsteadOfRaisingAnInPageError)
{
    const int64_t grain = FfmpegFileMapping::granularity();
    PatternFile pattern(size_t(grain * 4));
    auto mapping = FfmpegFileMapping::open(pattern.path());
    ASSERT_NE(mapping, nullptr);
    const uint8_t* view = mapping->mapView(0, size_t(grain * 4));
    ASSERT_NE(view, nullptr);
    auto faulter = FfmpegPageFaulter::create();
    ASSERT_NE(faulter, nullptr);
    EXPECT_TRUE(faulter->fault(view, size_t(grain * 4)));
    const bool cut = pattern.cutFromOutsideTo(grain);
    if (cut) {
        EXPECT_FALSE(faulter->fault(view + grain * 2, size_t(grain * 2)));
    }
    FfmpegFileMapping::unmapView(view, size_t(grain * 4));
    if (!cut)
        GTEST_SKIP() << "no writer beyond Windows' reach to cut the file";
}

} // namespace
} // namespace Qel::Testing
