// A movie header's composition offsets, from headers built here: the track
// found by its ID with FFmpeg's shift of negative offsets, and every header
// whose offsets FFmpeg might not take as they stand (or whose boxes do not
// fit) declined.
#include "formats/mp4/FfmpegCompositionOffsets.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace Qel::Testing {
namespace {

using namespace QelRuntime;

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

Bytes offsets(std::initializer_list<std::pair<uint32_t, int32_t>> runs, uint32_t claimed = 0)
{
    Bytes entries;
    for (const auto& run : runs)
        entries += bigEndian(run.first, 4) + bigEndian(uint32_t(run.second), 4);
    return box("ctts", bigEndian(0x01000000, 4) + bigEndian(claimed ? claimed : runs.size(), 4) + entries);
}

// An edit list of edits of 1000 units at these media times (-1: an empty
// edit), with 64-bit fields where wide; claimed: the count it states.
Bytes edits(std::initializer_list<int64_t> mediaTimes, bool wide = false, uint32_t claimed = 0)
{
    const int width = wide ? 8 : 4;
    Bytes entries;
    for (const int64_t time : mediaTimes)
        entries += bigEndian(1000, width) + bigEndian(uint64_t(time), width) + bigEndian(0x10000, 4);
    const uint32_t count = claimed ? claimed : uint32_t(mediaTimes.size());
    return box("edts", box("elst", bigEndian(wide ? 0x01000000 : 0, 4) + bigEndian(count, 4) + entries));
}

Bytes track(const Bytes& header, const Bytes& ctts, const Bytes& extra = {})
{
    return box("trak", header + extra + box("mdia", box("minf", box("stbl", box("stsd", bigEndian(0, 8)) + ctts))));
}

const Bytes kOffsets = offsets({{2, 1024}, {1, 0}, {3, 512}});
const Bytes kTrack = track(trackHeader(7), kOffsets);

std::optional<CompositionOffsets> offsetsIn(const Bytes& moov, uint32_t trackId = 7)
{
    return compositionOffsetsInMovieHeader(reinterpret_cast<const uint8_t*>(moov.data()), moov.size(), trackId);
}

using Runs = std::vector<std::pair<uint32_t, int32_t>>;

void expectOffsets(const std::optional<CompositionOffsets>& found, const Runs& expected, int64_t decodingShift,
                   const char* name)
{
    ASSERT_TRUE(found) << name;
    Runs runs;
    for (const CompositionRun& run : found->runs)
        runs.emplace_back(run.count, run.offset);
    EXPECT_EQ(runs, expected) << name;
    EXPECT_EQ(found->decodingShift, decodingShift) << name;
}

TEST(FfmpegCompositionOffsets, TheTrackOfTheIdGivesItsRunsAsFfmpegShiftsThem)
{
    const Runs kRuns = {{2, 1024}, {1, 0}, {3, 512}};
    const Bytes sound = track(trackHeader(2), offsets({{5, 0}}));
    const struct {
        const char* name;
        Bytes moov;
        Runs runs;
        int64_t decodingShift;
    } cases[] = {
        {"among other tracks", sound + kTrack, kRuns, 0},
        {"64-bit track header", track(trackHeader(7, true), kOffsets), kRuns, 0},
        {"one edit", track(trackHeader(7), kOffsets, edits({1024})), kRuns, 0},
        {"empty edits first", track(trackHeader(7), kOffsets, edits({-1, -1, 1024})), kRuns, 0},
        {"64-bit edits", track(trackHeader(7), kOffsets, edits({-1, 1024}, true)), kRuns, 0},
        // FFmpeg's shift leaves the last two runs out.
        {"negative offsets", track(trackHeader(7), offsets({{1, 0}, {1, -512}, {2, 1024}, {1, -1024}, {1, -2048}})),
         {{1, 0}, {1, -512}, {2, 1024}, {1, -1024}, {1, -2048}}, 512},
    };
    for (const auto& c : cases)
        expectOffsets(offsetsIn(box("mvhd", Bytes(100, '\0')) + c.moov), c.runs, c.decodingShift, c.name);
    EXPECT_EQ(offsetsIn(sound + kTrack, 2)->runs.at(0).count, 5u);
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
        {"an offset beyond 2^28", track(trackHeader(7), offsets({{2, 1024}, {1, (1 << 28) + 1}}))},
        {"a negative offset beyond 2^28", track(trackHeader(7), offsets({{2, -(1 << 28) - 1}, {1, 0}}))},
        {"a run of no samples", track(trackHeader(7), offsets({{0, 1024}, {1, 0}}))},
        {"more entries claimed than held", track(trackHeader(7), offsets({{2, 1024}}, 0x20000000))},
        {"two edits of the media", track(trackHeader(7), kOffsets, edits({0, 1024}))},
        {"an empty edit after the media's", track(trackHeader(7), kOffsets, edits({1024, -1}))},
        {"a negative media time", track(trackHeader(7), kOffsets, edits({-2}))},
        {"fewer edits claimed than held", track(trackHeader(7), kOffsets, edits({-1, 1024}, false, 1))},
        {"a box past its parent", childPastParent},
        {"a 64-bit size past its parent", kTrack + hugeLargeSize},
        {"a box smaller than its header", kTrack + bigEndian(4, 4) + "free"},
    };
    for (const auto& c : cases)
        EXPECT_FALSE(offsetsIn(c.moov)) << c.name;
    // Every header cut short: no box then fits.
    const Bytes edited = track(trackHeader(7), kOffsets, edits({-1, 1024}, true));
    for (size_t size = 0; size < edited.size(); ++size)
        EXPECT_FALSE(offsetsIn(edited.substr(0, size))) << size;
}

// A run of samples of 512 units and 100 bytes each at these offsets, with
// the fields that flags name (0x800: an offset each; 0x004: the first
// sample's flags ahead of them); claimed: the count it states.
Bytes samplesRun(std::initializer_list<int32_t> offsets, uint32_t flags = 0xB01, uint32_t claimed = 0)
{
    Bytes samples;
    for (const int32_t offset : offsets) {
        const uint32_t fields[] = {512, 100, 0, uint32_t(offset)};
        for (int field = 0; field < 4; ++field)
            samples += flags & (0x100u << field) ? bigEndian(fields[field], 4) : Bytes();
    }
    const Bytes ahead = Bytes(flags & 0x001 ? bigEndian(0, 4) : Bytes()) + (flags & 0x004 ? bigEndian(0, 4) : Bytes());
    return box("trun", bigEndian(flags, 4) + bigEndian(claimed ? claimed : offsets.size(), 4) + ahead + samples);
}

Bytes trackFragment(uint32_t id, const Bytes& runs, uint32_t headerFlags = 0x020000)
{
    return box("traf", box("tfhd", bigEndian(headerFlags, 4) + bigEndian(id, 4)) +
                           box("tfdt", bigEndian(0x01000000, 4) + bigEndian(0, 8)) + runs);
}

std::optional<CompositionOffsets> fragmentOffsetsIn(const Bytes& moof, uint64_t mostSamples = 100)
{
    CompositionOffsets offsets;
    if (!addFragmentOffsets(reinterpret_cast<const uint8_t*>(moof.data()), moof.size(), 7, mostSamples, offsets))
        return std::nullopt;
    return offsets;
}

const Bytes kFragment = box("mfhd", bigEndian(0, 8)) + trackFragment(2, samplesRun({0, 0})) +
                        trackFragment(7, samplesRun({1024, 0}) + samplesRun({512}, 0xF05));

TEST(FfmpegCompositionOffsets, FragmentsGiveTheRunsOfTheTrackWithEveryNegativeOffsetShifting)
{
    const struct {
        const char* name;
        Bytes moof;
        Runs runs;
        int64_t decodingShift;
    } cases[] = {
        {"among another track's", kFragment, {{1, 1024}, {1, 0}, {1, 512}}, 0},
        {"runs without offsets", trackFragment(7, samplesRun({5, 6, 7}, 0x301)), {{3, 0}}, 0},
        {"negative offsets, the last ones too", trackFragment(7, samplesRun({0, -512}) + samplesRun({-1024, -1024})),
         {{1, 0}, {1, -512}, {2, -1024}}, 1024},
    };
    for (const auto& c : cases)
        expectOffsets(fragmentOffsetsIn(c.moof), c.runs, c.decodingShift, c.name);
    // Fragment after fragment, the runs and samples add up.
    CompositionOffsets offsets;
    for (int fragment = 0; fragment < 2; ++fragment)
        ASSERT_TRUE(addFragmentOffsets(reinterpret_cast<const uint8_t*>(kFragment.data()), kFragment.size(), 7, 6,
                                       offsets));
    EXPECT_EQ(offsets.samples, 6u);
    EXPECT_EQ(offsets.runs.size(), 6u);
}

TEST(FfmpegCompositionOffsets, DeclinesFragmentsFfmpegMightReadOtherwiseOrThatDoNotFit)
{
    Bytes childPastParent = trackFragment(7, samplesRun({0}));
    childPastParent[3] = char(0x7F);  // the track fragment's size
    const struct {
        const char* name;
        Bytes moof;
        uint64_t mostSamples;
    } cases[] = {
        {"a run ahead of the track's header", box("traf", samplesRun({0}) + box("tfhd", bigEndian(0, 4) + bigEndian(7, 4))), 100},
        {"two headers", box("traf", box("tfhd", bigEndian(0, 8)) + box("tfhd", bigEndian(0, 8)) + samplesRun({0})), 100},
        {"a sample description of its own", trackFragment(7, samplesRun({0}), 0x020002), 100},
        {"more samples claimed than held", trackFragment(7, samplesRun({0, 0}, 0xB01, 1000)), 100},
        {"more samples than the index", kFragment, 2},
        {"an offset no shift holds", trackFragment(7, samplesRun({INT32_MIN})), 100},
        {"a box past its parent", childPastParent, 100},
    };
    for (const auto& c : cases)
        EXPECT_FALSE(fragmentOffsetsIn(c.moof, c.mostSamples)) << c.name;
    // Every fragment cut short: nothing read past it, never more samples.
    for (size_t size = 0; size < kFragment.size(); ++size) {
        const std::optional<CompositionOffsets> found = fragmentOffsetsIn(kFragment.substr(0, size));
        EXPECT_LE(found ? found->samples : 0, 3u) << size;
    }
}

} // namespace
} // namespace Qel::Testing
