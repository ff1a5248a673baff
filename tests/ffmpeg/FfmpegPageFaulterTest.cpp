// Faulting a file mapping in ahead of the reader: afterwards reading the
// mapping takes fewer page faults than reading one that was not prepared,
// and a part that another process has cut off the file is reported, not
// raised as SIGBUS.
#include "io/FfmpegPageFaulter.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

namespace Qel::Testing {
namespace {

using namespace QelRuntime;

class FileMapping {
public:
    FileMapping(const std::string& path, size_t length) : length_(length)
    {
        descriptor_ = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
        base_ = mmap(nullptr, length, PROT_READ, MAP_PRIVATE, descriptor_, 0);
    }
    ~FileMapping()
    {
        if (base_ != MAP_FAILED)
            munmap(base_, length_);
        ::close(descriptor_);
    }
    FileMapping(const FileMapping&) = delete;
    FileMapping& operator=(const FileMapping&) = delete;

    bool valid() const { return base_ != MAP_FAILED; }
    const uint8_t* bytes() const { return static_cast<const uint8_t*>(base_); }
    void cutFileTo(off_t length) const { ASSERT_EQ(ftruncate(descriptor_, length), 0); }

private:
    int descriptor_;
    size_t length_;
    void* base_;
};

long pageFaultsOfThisThread()
{
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_minflt + usage.ru_majflt;
}

// Reads a byte of every page; the page faults that took.
long faultsReading(const uint8_t* bytes, size_t length)
{
    const long before = pageFaultsOfThisThread();
    unsigned sum = 0;
    for (size_t at = 0; at < length; at += size_t(sysconf(_SC_PAGESIZE)))
        sum += static_cast<const volatile uint8_t*>(bytes)[at];
    const long faults = pageFaultsOfThisThread() - before;
    EXPECT_GE(sum, 0u);
    return faults;
}

TEST(FfmpegPageFaulter, LeavesFewerPageFaultsToTheReader)
{
    constexpr size_t kLength = 4 * 1024 * 1024 + 12345;  // not whole blocks
    TempFolder folder;
    const std::string path = folder.write("movie.mov", std::string(kLength, 'x'));
    FileMapping unprepared(path, kLength);
    FileMapping prepared(path, kLength);
    ASSERT_TRUE(unprepared.valid() && prepared.valid());
    std::unique_ptr<FfmpegPageFaulter> faulter = FfmpegPageFaulter::create();
    ASSERT_NE(faulter, nullptr);

    EXPECT_TRUE(faulter->fault(prepared.bytes(), kLength));
    const long left = faultsReading(prepared.bytes(), kLength);
    const long unpreparedFaults = faultsReading(unprepared.bytes(), kLength);
    EXPECT_LT(left, unpreparedFaults);
    EXPECT_TRUE(faulter->fault(prepared.bytes() + kLength - 1, 1));
}

TEST(FfmpegPageFaulter, ReportsAPartCutOffTheFileInsteadOfRaisingASignal)
{
    constexpr size_t kLength = 1024 * 1024;
    TempFolder folder;
    FileMapping mapping(folder.write("movie.mov", std::string(kLength, 'x')), kLength);
    ASSERT_TRUE(mapping.valid());
    mapping.cutFileTo(64 * 1024);
    std::unique_ptr<FfmpegPageFaulter> faulter = FfmpegPageFaulter::create();
    ASSERT_NE(faulter, nullptr);

    EXPECT_FALSE(faulter->fault(mapping.bytes(), kLength));
    EXPECT_FALSE(faulter->fault(mapping.bytes() + kLength / 2, kLength / 2));
    // What is left of the file still faults in after the failures.
    EXPECT_TRUE(faulter->fault(mapping.bytes(), 64 * 1024));
}

} // namespace
} // namespace Qel::Testing
