// A movie header's composition offsets, from headers built here: the track
// found by its ID, and every header whose offsets FFmpeg might not take as
// they stand (or whose boxes do not fit) declined.
#include "FfmpegCompositionOffsets.h"

#include <gtest/gtest.h>

#include <string>

namespace Qel::Testing {
namespace {

using Bytes = std::string;

Bytes bigEndian(uint64_t value, int bytes)
{
    Bytes out;
    for (int i = bytes - 1; i >= 0; --i)
        out += char(uint8_t(value >> (8 * i)));
    return out;
}

Bytes box(const char* type, const Bytes& payload) { return bigEndian(8 + payload.size(), 4) + type + payload; }

Bytes trackHeader(uint32_t id, bool wideTimes = false)
{
    const int timeBytes = wideTimes ? 8 : 4;
    return box("tkhd", bigEndian(wideTimes ? 0x01000000 : 0, 4) + bigEndian(0, timeBytes) + bigEndian(0, timeBytes) +
                           bigEndian(id, 4) + bigEndian(0, 8));
}

Bytes offsets(std::initializer_list<std::pair<uint32_t, uint32_t>> runs, uint32_t claimed = 0)
{
    Bytes entries;
    for (const auto& run : runs)
        entries += bigEndian(run.first, 4) + bigEndian(run.second, 4);
    return box("ctts", bigEndian(0, 4) + bigEndian(claimed ? claimed : runs.size(), 4) + entries);
}

Bytes edits(uint32_t count)
{
    Bytes entries;
    for (uint32_t i = 0; i < count; ++i)
        entries += bigEndian(1000, 4) + bigEndian(1024, 4) + bigEndian(0x10000, 4);
    return box("edts", box("elst", bigEndian(0, 4) + bigEndian(count, 4) + entries));
}

Bytes track(const Bytes& header, const Bytes& ctts, const Bytes& extra = {})
{
    return box("trak", header + extra + box("mdia", box("minf", box("stbl", box("stsd", bigEndian(0, 8)) + ctts))));
}

const Bytes kOffsets = offsets({{2, 1024}, {1, 0}, {3, 512}});
const Bytes kTrack = track(trackHeader(7), kOffsets);

std::optional<std::vector<CompositionRun>> runsIn(const Bytes& moov, uint32_t trackId = 7)
{
    return compositionRunsInMovieHeader(reinterpret_cast<const uint8_t*>(moov.data()), moov.size(), trackId);
}

TEST(FfmpegCompositionOffsets, TheTrackOfTheIdGivesItsRunsAsTheyStand)
{
    const Bytes sound = track(trackHeader(2), offsets({{5, 0}}));
    for (const Bytes& moov : {sound + kTrack, track(trackHeader(7, true), kOffsets), track(trackHeader(7), kOffsets, edits(1))}) {
        const auto runs = runsIn(box("mvhd", Bytes(100, '\0')) + moov);
        ASSERT_TRUE(runs);
        ASSERT_EQ(runs->size(), 3u);
        EXPECT_EQ((*runs)[0].count, 2u);
        EXPECT_EQ((*runs)[0].offset, 1024u);
        EXPECT_EQ((*runs)[2].count, 3u);
        EXPECT_EQ((*runs)[2].offset, 512u);
    }
    EXPECT_EQ(runsIn(sound + kTrack, 2)->at(0).count, 5u);
}

TEST(FfmpegCompositionOffsets, DeclinesWhatFfmpegMightTimeOtherwiseOrWhatDoesNotFit)
{
    Bytes childPastParent = kTrack;
    childPastParent[8 + 3] = char(0x7F);  // the track header's size
    const Bytes hugeLargeSize = bigEndian(1, 4) + "free" + bigEndian(~uint64_t(0), 8);
    const struct {
        const char* name;
        Bytes moov;
    } cases[] = {
        {"another track only", track(trackHeader(8), kOffsets)},
        {"two tracks of the ID", kTrack + kTrack},
        {"fragmented", kTrack + box("mvex", Bytes())},
        {"no offsets", track(trackHeader(7), Bytes())},
        {"two offset boxes", track(trackHeader(7), kOffsets + kOffsets)},
        {"a negative offset", track(trackHeader(7), offsets({{2, 1024}, {1, 0xFFFFFC00}}))},
        {"a run of no samples", track(trackHeader(7), offsets({{0, 1024}, {1, 0}}))},
        {"more entries claimed than held", track(trackHeader(7), offsets({{2, 1024}}, 0x20000000))},
        {"two edits", track(trackHeader(7), kOffsets, edits(2))},
        {"a box past its parent", childPastParent},
        {"a 64-bit size past its parent", kTrack + hugeLargeSize},
        {"a box smaller than its header", kTrack + bigEndian(4, 4) + "free"},
    };
    for (const auto& c : cases)
        EXPECT_FALSE(runsIn(c.moov)) << c.name;
    // Every header cut short: no box then fits.
    for (size_t size = 0; size < kTrack.size(); ++size)
        EXPECT_FALSE(runsIn(kTrack.substr(0, size))) << size;
}

} // namespace
} // namespace Qel::Testing
