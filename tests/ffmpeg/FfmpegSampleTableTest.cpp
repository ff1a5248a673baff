// Ordering a container's index (a QuickTime movie's, here built by hand):
// presentation times are the decoding times shifted by the stream's
// reordering delay (its start minus its first decoding time), entries that
// FFmpeg marks as discarded are left out, sync marks stay with their
// entries, and the last sample lasts until the stream's end or, when that
// lies no further, as long as the one before it.
#include "FfmpegSampleTable.h"
#include "codecs/FfmpegMpegPictureTypes.h"
#include "formats/avi/FfmpegAviIndex.h"
#include "formats/mp4/FfmpegMp4Timing.h"
#include "timing/FfmpegIndexOrder.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace Qel::Testing {
namespace {

using namespace QelRuntime;

struct FreeFormat {
    void operator()(AVFormatContext* format) const { avformat_free_context(format); }
};

struct IndexEntry {
    int64_t dts;
    int flags;
};

std::unique_ptr<AVFormatContext, FreeFormat> indexedMovie(int64_t start, int64_t duration,
                                                          std::initializer_list<IndexEntry> entries)
{
    std::unique_ptr<AVFormatContext, FreeFormat> format(avformat_alloc_context());
    format->iformat = av_find_input_format("mov");
    AVStream* stream = avformat_new_stream(format.get(), nullptr);
    stream->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
    stream->time_base = {1, 600};
    stream->start_time = start;
    stream->duration = duration;
    int64_t position = 0;
    for (const IndexEntry& entry : entries)
        av_add_index_entry(stream, position += 1000, entry.dts, 1000, 0, entry.flags);
    return format;
}

TEST(FfmpegSampleTable, AnIndexInDecodingOrderIsShiftedByTheReorderingDelay)
{
    const auto movie = indexedMovie(40, 140, {{0, AVINDEX_KEYFRAME}, {20, 0}, {40, AVINDEX_DISCARD_FRAME},
                                              {60, 0}, {80, AVINDEX_KEYFRAME}});
    const std::vector<OrderedPackets> ordered = orderedStreamPackets(movie.get(), containerTraitsOf(movie.get()), "");
    ASSERT_EQ(ordered.size(), 1u);
    const OrderedPackets& packets = ordered[0];
    ASSERT_EQ(packets.positions.size(), 4u);
    const int64_t pts[] = {40, 60, 100, 120};
    const int64_t dts[] = {0, 20, 60, 80};
    const bool sync[] = {true, false, false, true};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(packets.positions[i].pts, pts[i]) << i;
        EXPECT_EQ(packets.positions[i].dts, dts[i]) << i;
        EXPECT_EQ(packets.sync[i], sync[i]) << i;
    }
    EXPECT_EQ(packets.durationOf(1), 40);  // up to the next kept entry
    EXPECT_EQ(packets.lastDuration, 40 + 140 - 120);

    const auto ending = indexedMovie(0, 50, {{0, AVINDEX_KEYFRAME}, {30, 0}, {50, 0}});
    EXPECT_EQ(orderedStreamPackets(ending.get(), containerTraitsOf(ending.get()), "")[0].lastDuration, 20);
}

// A container's rules apply to the demuxers named by one of its names, not
// to every demuxer whose name merely contains it.
TEST(FfmpegSampleTable, ContainerRulesFollowTheDemuxersWholeNames)
{
    const struct {
        const char* demuxer;
        bool quickTime;
    } rows[] = {{"mov", true}, {"ipmovie", false}, {"wc3movie", false}, {"matroska", false}};
    for (const auto& row : rows) {
        std::unique_ptr<AVFormatContext, FreeFormat> format(avformat_alloc_context());
        format->iformat = av_find_input_format(row.demuxer);
        ASSERT_NE(format->iformat, nullptr) << row.demuxer;
        const FfmpegContainerTraits traits = containerTraitsOf(format.get());
        EXPECT_EQ(traits.marksTracksEnabled, row.quickTime) << row.demuxer;
        EXPECT_EQ(traits.indexesEveryPacket, row.quickTime) << row.demuxer;
    }
}

// AVI sound: the steps between index entries tell whether the index counts
// bytes (each entry starts where the bytes before it end) or chunks (one
// tick each, or as many as the block size goes into the chunk's bytes); the
// last entry lasts as long as its bytes or its chunk.
TEST(FfmpegSampleTable, AviSoundIsCountedInBytesOrChunks)
{
    const struct Row {
        const char* name;
        std::vector<FfmpegIndexEntry> entries;  // timestamp, pos, size, key, discarded
        int blockAlign;
        bool inBytes;
        int64_t bytesPerChunkTick;
        std::vector<int64_t> dts;
        int64_t lastDuration;
    } rows[] = {
        {"PCM in bytes", {{0, 0, 4000, true, false}, {4000, 0, 4000, true, false}, {8000, 0, 2000, true, false}},
         4, true, 0, {0, 1000, 2000}, 500},
        {"MP3 a tick a chunk under its block size",
         {{0, 0, 417, true, false}, {1, 0, 418, true, false}, {2, 0, 2500, true, false}},
         1152, false, 1152, {0, 1, 2}, 3},
        {"AAC whose block size the steps refute",
         {{0, 0, 300, true, false}, {1, 0, 700, true, false}, {2, 0, 600, true, false}},
         256, false, 0, {0, 1, 2}, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const FfmpegIndex index(row.entries);
        const FfmpegIndexCounting counting = aviSoundCounting(index, row.blockAlign);
        EXPECT_EQ(counting.soundInBytes, row.inBytes);
        EXPECT_EQ(counting.soundInChunks, !row.inBytes);
        EXPECT_EQ(counting.bytesPerChunkTick, row.bytesPerChunkTick);
        FfmpegStreamFacts sound;
        sound.sound = true;
        sound.start = 0;
        sound.duration = 1000000;  // the header's length, which counted sound does not trust
        const OrderedPackets ordered = orderedFromIndex(index, sound, counting, -1);
        ASSERT_EQ(ordered.positions.size(), row.dts.size());
        for (size_t i = 0; i < row.dts.size(); ++i)
            EXPECT_EQ(ordered.positions[i].dts, row.dts[i]) << i;
        EXPECT_EQ(ordered.lastDuration, row.lastDuration);
    }
}

// B pictures are told by the coding type after the first picture start code
// (MPEG-1/2: 3 bits after the 10-bit temporal reference) or video object
// plane start code (MPEG-4 Part 2: its first 2 bits).
TEST(FfmpegSampleTable, BPicturesAreToldByTheirCodingType)
{
    const struct Row {
        const char* name;
        AVCodecID codec;
        std::vector<uint8_t> bytes;
        bool bidirectional;
    } rows[] = {
        {"MPEG-2 B", AV_CODEC_ID_MPEG2VIDEO, {0, 0, 1, 0, 0x00, 0x18, 0xFF}, true},
        {"MPEG-2 P", AV_CODEC_ID_MPEG2VIDEO, {0, 0, 1, 0, 0x00, 0x10, 0xFF}, false},
        {"MPEG-1 B after a sequence header", AV_CODEC_ID_MPEG1VIDEO,
         {0, 0, 1, 0xB3, 0x0A, 0x00, 0x78, 0, 0, 1, 0, 0x40, 0x5F, 0xFF}, true},
        {"MPEG-2 header cut short", AV_CODEC_ID_MPEG2VIDEO, {0, 0, 1, 0, 0x00}, false},
        {"MPEG-4 B", AV_CODEC_ID_MPEG4, {0, 0, 1, 0xB6, 0x80}, true},
        {"MPEG-4 P", AV_CODEC_ID_MPEG4, {0, 0, 1, 0xB6, 0x40}, false},
        {"MPEG-4 I after a VOL header", AV_CODEC_ID_MPEG4, {0, 0, 1, 0x20, 0x80, 0, 0, 1, 0xB6, 0x00}, false},
        {"H.264 has no such type", AV_CODEC_ID_H264, {0, 0, 1, 0xB6, 0x80}, false},
    };
    for (const Row& row : rows)
        EXPECT_EQ(isBidirectionalPicture(row.codec, row.bytes.data(), int(row.bytes.size())), row.bidirectional)
            << row.name;
}

// Composition offsets that only shift a constant-rate index by the stream's
// reordering delay let the shifted index time the pictures; any offset off
// the grid of decoding steps, two pictures at one time, a sync picture not
// at its own time or uneven steps do not. Pictures I P B B (shown I B B P),
// decoded every 512 ticks and shown from 1024.
TEST(FfmpegSampleTable, OffsetsThatOnlyShiftTheIndexAreRecognised)
{
    const auto entries = [](std::vector<int64_t> dts) {
        std::vector<FfmpegIndexEntry> index;
        for (int64_t time : dts)
            index.push_back({time, -1, 100, index.empty(), false});
        return index;
    };
    const std::vector<int64_t> even = {0, 512, 1024, 1536};
    const struct Row {
        const char* name;
        std::vector<int64_t> dts;
        int64_t start;
        CompositionOffsets offsets;
        bool shifts;
    } rows[] = {
        {"shown I B B P", even, 1024, {{{1, 1024}, {1, 2048}, {2, 512}}, 4, 0}, true},
        {"negative offsets, shifted", even, 512, {{{1, 0}, {1, 1024}, {2, -512}}, 4, 512}, true},
        {"off the grid", even, 1024, {{{1, 1024}, {1, 2148}, {2, 512}}, 4, 0}, false},
        {"two at one time", even, 1024, {{{1, 1024}, {1, 2048}, {1, 1024}, {1, 512}}, 4, 0}, false},
        {"the sync picture late", even, 1024, {{{1, 1536}, {1, 2048}, {2, 512}}, 4, 0}, false},
        {"uneven steps", {0, 512, 1536, 2048}, 1024, {{{1, 1024}, {1, 2048}, {2, 512}}, 4, 0}, false},
    };
    for (const Row& row : rows) {
        const std::vector<FfmpegIndexEntry> index = entries(row.dts);
        FfmpegStreamFacts video;
        video.video = true;
        video.start = row.start;
        EXPECT_EQ(offsetsShiftDecodingTimes(FfmpegIndex(index), video, row.offsets), row.shifts) << row.name;
    }
}

// Sorting by presentation time keeps packets of equal times in their order,
// whether the packets lie near their places or far enough to be merge sorted;
// positions sorted with their sync marks keep each mark with its position.
TEST(FfmpegSampleTable, SortingByPresentationTimeKeepsEqualTimesInOrder)
{
    const auto packets = [](std::vector<int64_t> pts) {
        std::vector<FfmpegPacketRecord> list;
        for (int64_t time : pts)
            list.push_back({time, int64_t(list.size()), 0, false});  // dts: the place before sorting
        return list;
    };
    std::vector<int64_t> descending, descendingPlaces;
    for (int64_t i = 0; i < 100; ++i) {
        descending.push_back(99 - i / 2);  // 99 99 98 98 ... 50 50
        descendingPlaces.push_back(98 - (i / 2) * 2 + i % 2);
    }
    const struct Row {
        const char* name;
        std::vector<int64_t> pts;
        std::vector<int64_t> places;  // where each packet of the sorted list was
    } rows[] = {
        {"in order", {0, 1, 2, 3}, {0, 1, 2, 3}},
        {"reordered nearby", {0, 3, 1, 2, 6, 4, 5}, {0, 2, 3, 1, 5, 6, 4}},
        {"equal times", {5, 1, 5, 1}, {1, 3, 0, 2}},
        {"far from their places", descending, descendingPlaces},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<FfmpegPacketRecord> list = packets(row.pts);
        sortByPresentationTime(list);
        ASSERT_EQ(list.size(), row.places.size());
        for (size_t i = 0; i < list.size(); ++i) {
            EXPECT_EQ(list[i].dts, row.places[i]) << i;
            EXPECT_EQ(list[i].pts, row.pts[size_t(row.places[i])]) << i;
        }
        OrderedPackets ordered;
        for (int64_t time : row.pts) {
            const int64_t place = int64_t(ordered.positions.size());
            ordered.positions.push_back({time, place, 0});
            ordered.sync.push_back(place % 3 == 0);
        }
        sortByPresentationTime(ordered);
        for (size_t i = 0; i < ordered.positions.size(); ++i) {
            EXPECT_EQ(ordered.positions[i].dts, row.places[i]) << i;
            EXPECT_EQ(ordered.positions[i].pts, row.pts[size_t(row.places[i])]) << i;
            EXPECT_EQ(ordered.sync[i], row.places[i] % 3 == 0) << i;
        }
    }
}

} // namespace
} // namespace Qel::Testing
