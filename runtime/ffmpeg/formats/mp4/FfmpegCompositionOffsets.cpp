#include "formats/mp4/FfmpegCompositionOffsets.h"

#include "formats/mp4/FfmpegBoxes.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace QelRuntime {

namespace {

std::optional<uint32_t> trackIdOf(const Box& tkhd)
{
    // version and flags, then creation and modification times of 4 bytes
    // (version 0) or 8 (version 1), then the track ID.
    if (tkhd.size < 4)
        return std::nullopt;
    const size_t idAt = tkhd.payload[0] == 1 ? 20 : 12;
    if (tkhd.size < idAt + 4)
        return std::nullopt;
    return bigEndian32(tkhd.payload + idAt);
}

// FFmpeg skips runs of no samples and drops every offset of a track when one
// lies beyond 2^28 either way: only runs it takes as they stand are accepted.
// It shifts the decoding times by the largest negative offset, the last two
// runs left out.
std::optional<CompositionOffsets> offsetsOf(const Box& ctts)
{
    if (ctts.size < 8)
        return std::nullopt;
    const uint64_t entries = bigEndian32(ctts.payload + 4);
    if (entries > (ctts.size - 8) / 8)
        return std::nullopt;
    CompositionOffsets offsets;
    offsets.runs.reserve(size_t(entries));
    // Offsets from -2^28 to 2^28, shifted to count from 0.
    constexpr uint32_t kFarthestOffset = uint32_t(1) << 28;
    int32_t mostNegative = 0;
    for (size_t i = 0; i < entries; ++i) {
        const uint8_t* entry = ctts.payload + 8 + i * 8;
        const CompositionRun run{bigEndian32(entry), int32_t(bigEndian32(entry + 4))};
        if (run.count - 1 >= uint32_t(std::numeric_limits<int32_t>::max()) ||
            uint32_t(run.offset) + kFarthestOffset > 2 * kFarthestOffset)
            return std::nullopt;
        if (run.offset < mostNegative && i + 2 < entries)
            mostNegative = run.offset;
        offsets.runs.push_back(run);
        offsets.samples += run.count;
    }
    offsets.decodingShift = -int64_t(mostNegative);
    return offsets;
}

// An edit list that only moves the media in time: one edit of the media,
// after any number of empty edits (a track that starts late). Several edits
// of the media may repeat or drop samples. FFmpeg counts the edits that fit
// the box, whatever count it claims: both must agree.
bool editsOnlyMoveTheMedia(const Box& trak)
{
    Box edts{};
    const int lists = childOfType(trak.payload, trak.size, boxType("edts"), edts);
    if (lists == 0)
        return true;
    Box elst{};
    if (lists != 1 || childOfType(edts.payload, edts.size, boxType("elst"), elst) != 1 || elst.size < 8)
        return false;
    const bool wide = elst.payload[0] == 1;  // 64-bit durations and media times
    const size_t entryBytes = wide ? 20 : 12;
    const uint64_t count = bigEndian32(elst.payload + 4);
    if (elst.size - 8 != count * entryBytes)
        return false;
    bool mediaEdited = false;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* mediaTime = elst.payload + 8 + i * entryBytes + (wide ? 8 : 4);
        const int64_t time = wide ? int64_t(bigEndian64(mediaTime)) : int64_t(int32_t(bigEndian32(mediaTime)));
        const bool empty = time == -1;
        if (mediaEdited || (time < 0 && !empty))
            return false;
        mediaEdited = !empty;
    }
    return true;
}

std::optional<CompositionOffsets> offsetsOfTrack(const Box& trak)
{
    if (!editsOnlyMoveTheMedia(trak))
        return std::nullopt;
    const std::optional<Box> ctts =
        onlyBoxAt(trak, {boxType("mdia"), boxType("minf"), boxType("stbl"), boxType("ctts")});
    return ctts ? offsetsOf(*ctts) : std::nullopt;
}

// Real files hold a handful of top-level boxes before their first fragment;
// one of thousands is no movie worth walking box by box.
constexpr uint64_t kMostTopLevelBoxes = 4096;

// Where the payload of the file's only `moov` lies; nullopt for a file that
// is fragmented, has no or several movie headers, or is cut short.
std::optional<std::pair<int64_t, uint64_t>> moviePayloadOf(const FfmpegFileMapping& file)
{
    FileWindow window(file);
    std::optional<std::pair<int64_t, uint64_t>> payload;
    bool plain = true;
    const bool walked = visitTopLevelBoxes(window, kMostTopLevelBoxes, [&](const BoxHeader& header, int64_t at) {
        plain = header.type != boxType("moof") && !(header.type == boxType("moov") && payload);
        if (plain && header.type == boxType("moov"))
            payload = std::make_pair(at + int64_t(header.headerBytes), header.totalBytes - header.headerBytes);
        return plain;
    });
    return walked && plain ? payload : std::nullopt;
}

} // namespace

std::optional<CompositionOffsets> compositionOffsetsInMovieHeader(const uint8_t* moov, size_t size, uint32_t trackId)
{
    const std::optional<std::vector<Box>> children = childrenOf(moov, size);
    if (!children)
        return std::nullopt;
    std::optional<Box> track;
    for (const Box& child : *children) {
        if (child.type == boxType("mvex"))
            return std::nullopt;
        if (child.type != boxType("trak"))
            continue;
        const std::optional<Box> tkhd = onlyBoxAt(child, {boxType("tkhd")});
        const std::optional<uint32_t> id = tkhd ? trackIdOf(*tkhd) : std::nullopt;
        if (!id || (*id == trackId && track))
            return std::nullopt;
        if (*id == trackId)
            track = child;
    }
    return track ? offsetsOfTrack(*track) : std::nullopt;
}

std::optional<CompositionOffsets> compositionOffsetsInFile(const std::string& path, uint32_t trackId)
{
    const std::unique_ptr<FfmpegFileMapping> file = FfmpegFileMapping::open(path);
    if (!file)
        return std::nullopt;
    const std::optional<std::pair<int64_t, uint64_t>> payload = moviePayloadOf(*file);
    if (!payload || payload->second > std::numeric_limits<size_t>::max())
        return std::nullopt;
    const MappedRange moov(*file, payload->first, size_t(payload->second));
    if (!moov.data())
        return std::nullopt;
    return compositionOffsetsInMovieHeader(moov.data(), size_t(payload->second), trackId);
}

MovieFragments movieFragmentsIn(const std::string& path)
{
    MovieFragments fragments;
    const std::unique_ptr<FfmpegFileMapping> file = FfmpegFileMapping::open(path);
    if (!file)
        return fragments;
    bool segmentIndex = false;
    FileWindow window(*file);
    const bool walked = visitTopLevelBoxes(window, kMostTopLevelBoxes, [&](const BoxHeader& header, int64_t) {
        segmentIndex = segmentIndex || header.type == boxType("sidx");
        fragments.present = header.type == boxType("moof");
        return !fragments.present;
    });
    if (!walked)
        return {};
    fragments.indexedAhead = fragments.present && segmentIndex;
    return fragments;
}

} // namespace QelRuntime
