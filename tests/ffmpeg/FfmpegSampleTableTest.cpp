// Ordering a container's index (a QuickTime movie's, here built by hand):
// presentation times are the decoding times shifted by the stream's
// reordering delay (its start minus its first decoding time), entries that
// FFmpeg marks as discarded are left out, sync marks stay with their
// entries, and the last sample lasts until the stream's end or, when that
// lies no further, as long as the one before it.
#include "FfmpegSampleTable.h"

#include <gtest/gtest.h>

#include <memory>

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

} // namespace
} // namespace Qel::Testing
