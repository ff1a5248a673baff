// A picture whose memory cannot be had (a damaged movie can claim one of a
// gigabyte): the read fails with the runtime's out-of-memory status instead
// of an exception leaving through the host's call, nothing is delivered, and
// the stream reads on once memory is there. The address space is capped
// with setrlimit, so the test runs on Linux without sanitizers (which
// reserve more address space than any cap allows).
#include "VideoSession.h"

#if defined(__linux__) && !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>

namespace Qel::Testing {
namespace {

constexpr int32_t kSide = 4096;  // the synthetic runtime's largest picture
constexpr size_t kFrameBytes = size_t(kSide) * kSide * 2;  // YUY2: 32 MiB

size_t addressSpaceInUse()
{
    std::ifstream statm("/proc/self/statm");
    size_t pages = 0;
    statm >> pages;
    return pages * size_t(sysconf(_SC_PAGESIZE));
}

// Caps the address space at what is in use plus room while it lives.
class AddressSpaceCap {
public:
    explicit AddressSpaceCap(size_t room)
    {
        getrlimit(RLIMIT_AS, &saved);
        rlimit capped = saved;
        capped.rlim_cur = rlim_t(addressSpaceInUse() + room);
        EXPECT_EQ(setrlimit(RLIMIT_AS, &capped), 0);
    }
    ~AddressSpaceCap() { setrlimit(RLIMIT_AS, &saved); }
    AddressSpaceCap(const AddressSpaceCap&) = delete;
    AddressSpaceCap& operator=(const AddressSpaceCap&) = delete;

private:
    rlimit saved{};
};

void expectOutOfMemoryRead(VideoSession& video, size_t room, bool failureLine)
{
    const size_t linesBefore = video.messages(kReadFunction).size();
    Frame failed;
    {
        AddressSpaceCap cap(room);
        failed = video.read();
    }
    EXPECT_EQ(failed.result, kResultFailure);
    EXPECT_FALSE(failed.delivered);
    const std::vector<std::string> lines = video.messages(kReadFunction);
    ASSERT_GT(lines.size(), linesBefore);
    EXPECT_EQ(lines.back(), "QT video readStream failing with: -108");
    const bool logged = std::find(lines.begin() + long(linesBefore), lines.end(), qtFailureLine(-108)) != lines.end();
    EXPECT_EQ(logged, failureLine);
}

// Decompressed pictures need the plug-in's frame (made at the first read)
// and then the chunk's copy of it.
TEST(VideoMemoryTest, PictureMemoryThatCannotBeHadFailsTheReadOnly)
{
    VideoSession video(videoMovie(R"("compression": "jpeg", "width": 4096, "height": 4096)",
                                  R"("count": 3, "duration": 60)"));
    ASSERT_NE(video.stream, nullptr);
    // No room for the frame the decompressor draws into.
    expectOutOfMemoryRead(video, kFrameBytes / 2, true);
    // Room for the frame, none for the chunk.
    expectOutOfMemoryRead(video, kFrameBytes + kFrameBytes / 2, false);
    expectSample(video.read(), "YUY2", kSide, kSide, 0);
}

} // namespace
} // namespace Qel::Testing
#endif
