// Sample bytes taken straight from the file: the mapped windows hand out
// exactly the file's bytes wherever a sample lies (across the windows' grid,
// forwards, backwards, at the end), bytes stay valid while held after the
// file has moved on or closed, reading on maps each window once (the one
// prepared ahead is the one used) and unmaps those left, and ranges outside
// the file (as opened, or as another process has cut it since) are refused.
// Movies whose index places every picture exactly hand out the stream's own
// packets.
#include "io/FfmpegMappedFile.h"
#include "formats/mp4/FfmpegBoxes.h"
#include "FfmpegMovie.h"
#include "FfmpegOracle.h"
#include "TempFolder.h"
#include "TestMovies.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>

#include <sys/mman.h>
#include <unistd.h>

namespace Qel::Testing {
namespace {

using namespace QelRuntime;

using QelRuntime::SampleBytes;

std::string patternOf(size_t size)
{
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = char((i * 7 + i / 251) & 0xFF);
    return bytes;
}

class FfmpegMappedFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        page = sysconf(_SC_PAGESIZE);
        content = patternOf(size_t(page) * 10 + 123);
        file = FfmpegMappedFile::open(folder.write("movie.mov", content), page * 2);
        ASSERT_NE(file, nullptr);
    }

    void expectBytes(int64_t offset, int64_t size, SampleBytes& bytes)
    {
        ASSERT_TRUE(file->map(offset, size, bytes)) << offset << "+" << size;
        ASSERT_EQ(bytes.size, size_t(size));
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data), bytes.size),
                  content.substr(size_t(offset), size_t(size)))
            << offset << "+" << size;
    }

    TempFolder folder;
    int64_t page = 0;
    std::string content;
    std::unique_ptr<FfmpegMappedFile> file;
};

TEST_F(FfmpegMappedFileTest, HandsOutTheFilesBytesWhereverASampleLies)
{
    const int64_t length = int64_t(content.size());
    std::vector<SampleBytes> held;
    // Forwards in pieces that straddle the grid, then backwards, then the
    // very end and a range as long as the file.
    for (int64_t offset = 0; offset + 1000 <= length; offset += 1000) {
        held.emplace_back();
        expectBytes(offset, 1000, held.back());
    }
    for (int64_t offset = length - 3000; offset >= 0; offset -= 3000) {
        SampleBytes bytes;
        expectBytes(offset, 3000, bytes);
    }
    SampleBytes last;
    expectBytes(length - 1, 1, last);
    SampleBytes whole;
    expectBytes(0, length, whole);
    // Bytes handed out first are still the file's after many other windows
    // and after the file has closed.
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(held.front().data), 1000), content.substr(0, 1000));
    file.reset();
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(held.back().data), 1000),
              content.substr(held.size() * 1000 - 1000, 1000));
}

// Samples up to the very end of the file, so that every cell is read. A
// window is mapped for each cell that a sample starts in (whose window then
// holds the sample), by the prefetch thread or, when the reader comes
// first, by the reader, never by both; none for a cell that the window
// before it already reaches over.
TEST_F(FfmpegMappedFileTest, ReadingOnMapsEachWindowOnceInEitherDirection)
{
    const int64_t length = int64_t(content.size());
    const int64_t sample = page / 2 + 7;
    std::set<int64_t> cells;
    for (int64_t offset = 0; offset < length; offset += sample) {
        SampleBytes bytes;
        expectBytes(offset, std::min(sample, length - offset), bytes);
        cells.insert(offset / (page * 2));
    }
    EXPECT_EQ(file->windowsMapped(), int64_t(cells.size()));

    file = FfmpegMappedFile::open(folder.path("movie.mov"), page * 2);
    cells.clear();
    for (int64_t end = length; end > 0; end -= sample) {
        SampleBytes bytes;
        const int64_t offset = std::max<int64_t>(end - sample, 0);
        expectBytes(offset, end - offset, bytes);
        cells.insert(offset / (page * 2));
    }
    EXPECT_EQ(file->windowsMapped(), int64_t(cells.size()));
}

TEST_F(FfmpegMappedFileTest, RangesOutsideTheFileAreRefused)
{
    const int64_t length = int64_t(content.size());
    SampleBytes bytes;
    for (const auto& [offset, size] : std::vector<std::pair<int64_t, int64_t>>{
             {-1, 10}, {0, 0}, {0, -5}, {length, 1}, {length - 10, 11}, {1, INT64_MAX}, {INT64_MAX, 1}}) {
        EXPECT_FALSE(file->map(offset, size, bytes)) << offset << "+" << size;
        EXPECT_EQ(bytes.data, nullptr);
    }
}

// The process's mappings of the file, from /proc/self/maps.
int mappingsOf(const std::string& path)
{
    std::ifstream maps("/proc/self/maps");
    int count = 0;
    for (std::string line; std::getline(maps, line);)
        count += line.size() >= path.size() && line.compare(line.size() - path.size(), path.size(), path) == 0;
    return count;
}

TEST_F(FfmpegMappedFileTest, WindowsLeftAreUnmappedAndHeldOnesOutliveTheFile)
{
    const std::string path = folder.path("movie.mov");
    const int64_t sample = page / 2 + 7;
    SampleBytes first;
    expectBytes(0, sample, first);
    for (int64_t offset = sample; offset + sample <= int64_t(content.size()); offset += sample) {
        SampleBytes bytes;
        expectBytes(offset, sample, bytes);
        // The window in use, the one prepared, the held first one, and the
        // one just left while its release is on its way; while the prefetch
        // thread still runs the job before (a loaded machine), also the
        // window that job releases. The prefetch thread holds one job
        // running and one waiting, so no more.
        EXPECT_LE(mappingsOf(path), 5) << offset;
    }
    file.reset();
    EXPECT_EQ(mappingsOf(path), 1);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(first.data), first.size), content.substr(0, size_t(sample)));
    first = {};
    EXPECT_EQ(mappingsOf(path), 0);
}

TEST_F(FfmpegMappedFileTest, SamplesCutOffTheFileWhileMappedAreRefusedNotFaulted)
{
    SampleBytes held;
    expectBytes(0, page * 3, held);  // the first window, the next one prepared
    ASSERT_EQ(truncate(folder.path("movie.mov").c_str(), page * 3 + 10), 0);
    SampleBytes bytes;
    EXPECT_FALSE(file->map(page * 3, 11, bytes));
    EXPECT_FALSE(file->map(page * 5, page, bytes));
    expectBytes(page * 3, 10, bytes);
}

// The walks over a file's boxes read it through one buffer: each range is
// the file's bytes whether the buffer already holds it, it straddles the
// buffer's end, it takes a longer read or it is mapped; nothing past the
// end, or past a cut made since the file was opened.
TEST_F(FfmpegMappedFileTest, BoxWalksGetTheFilesBytesAndNothingPastItsEnd)
{
    const std::string longContent = patternOf((size_t(5) << 20) + 3);
    const std::string longPath = folder.write("long.mov", longContent);
    const std::unique_ptr<FfmpegFileMapping> mapping = FfmpegFileMapping::open(longPath);
    ASSERT_NE(mapping, nullptr);
    FileWindow window(*mapping);
    const int64_t end = int64_t(longContent.size());
    const std::pair<int64_t, int64_t> ranges[] = {{0, 16},       {8, 3000},       {4000, 200}, {100, 20000},
                                                  {end - 1, 1}, {1, end - 1},    {70000, 16}};
    for (const auto& [offset, size] : ranges) {
        const uint8_t* bytes = window.bytes(offset, size_t(size));
        ASSERT_NE(bytes, nullptr) << offset << "+" << size;
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes), size_t(size)),
                  longContent.substr(size_t(offset), size_t(size)))
            << offset << "+" << size;
    }
    for (const auto& [offset, size] : std::vector<std::pair<int64_t, int64_t>>{{-1, 1}, {end, 1}, {end - 10, 11}})
        EXPECT_EQ(window.bytes(offset, size_t(size)), nullptr) << offset << "+" << size;
    ASSERT_EQ(truncate(longPath.c_str(), 100000), 0);
    EXPECT_EQ(window.bytes(99990, 11), nullptr);
    EXPECT_EQ(window.bytes(200000, 16), nullptr);
    const uint8_t* last = window.bytes(99990, 10);
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(last), 10), longContent.substr(99990, 10));
}

TEST(FfmpegMappedFileOpen, RefusesWhatIsNotAReadableFile)
{
    TempFolder folder;
    EXPECT_EQ(FfmpegMappedFile::open(folder.path("missing.mov")), nullptr);
    EXPECT_EQ(FfmpegMappedFile::open(folder.path("")), nullptr);  // the folder itself
    EXPECT_EQ(FfmpegMappedFile::open(folder.write("odd.mov", "x"), 1000), nullptr);  // not whole pages
}

TEST(FfmpegMappedSamples, UncompressedQuickTimePicturesAreTheStreamsPackets)
{
    const std::string path = yuvsMov();
    auto movie = FfmpegMovie::open(path);
    ASSERT_NE(movie, nullptr);
    const FfmpegTrack& track = movie->tracks()[0];
    const std::vector<CopiedPacket> packets = presentedVideoPackets(path);
    ASSERT_EQ(track.byteRanges.size(), packets.size());
    auto file = FfmpegMappedFile::open(path);
    ASSERT_NE(file, nullptr);
    for (size_t i = 0; i < packets.size(); ++i) {
        SampleBytes bytes;
        ASSERT_TRUE(file->map(track.byteRanges[i].offset, track.byteRanges[i].size, bytes)) << "sample " << i;
        EXPECT_EQ(bytes.size, packets[i].size) << "sample " << i;
        EXPECT_EQ(checksumOf(bytes.data, bytes.size), packets[i].checksum) << "sample " << i;
    }
}

TEST(FfmpegMappedSamples, CompressedPicturesAreReadThroughTheDemuxer)
{
    for (const std::string& path : {h264Mp4(), mjpegMov(), mpeg4Avi()}) {
        auto movie = FfmpegMovie::open(path);
        ASSERT_NE(movie, nullptr) << path;
        EXPECT_TRUE(movie->tracks()[0].byteRanges.empty()) << path;
    }
}

} // namespace
} // namespace Qel::Testing
