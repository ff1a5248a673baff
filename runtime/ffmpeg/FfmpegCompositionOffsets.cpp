#include "FfmpegCompositionOffsets.h"

#include "FfmpegFileMapping.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace Qel {

namespace {

constexpr uint32_t boxType(const char (&name)[5])
{
    return uint32_t(uint8_t(name[0])) << 24 | uint32_t(uint8_t(name[1])) << 16 | uint32_t(uint8_t(name[2])) << 8 |
           uint32_t(uint8_t(name[3]));
}

uint32_t bigEndian32(const uint8_t* bytes)
{
    return uint32_t(bytes[0]) << 24 | uint32_t(bytes[1]) << 16 | uint32_t(bytes[2]) << 8 | uint32_t(bytes[3]);
}

uint64_t bigEndian64(const uint8_t* bytes) { return uint64_t(bigEndian32(bytes)) << 32 | bigEndian32(bytes + 4); }

struct BoxHeader {
    uint32_t type = 0;
    uint64_t headerBytes = 0;
    uint64_t totalBytes = 0;  // header included
};

// The header of a box whose first `available` bytes are at hand and which
// may take up to `room` bytes (what is left of its parent). False where its
// size is smaller than its header or reaches past the room.
bool readBoxHeader(const uint8_t* bytes, uint64_t available, uint64_t room, BoxHeader& box)
{
    if (available < 8 || room < 8)
        return false;
    const uint32_t size = bigEndian32(bytes);
    box.type = bigEndian32(bytes + 4);
    box.headerBytes = 8;
    box.totalBytes = size;
    if (size == 0) {  // up to the end of its parent
        box.totalBytes = room;
    } else if (size == 1) {  // a 64-bit size follows
        if (available < 16 || room < 16)
            return false;
        box.headerBytes = 16;
        box.totalBytes = bigEndian64(bytes + 8);
    }
    return box.totalBytes >= box.headerBytes && box.totalBytes <= room;
}

struct Box {
    uint32_t type;
    const uint8_t* payload;
    size_t size;
};

// The boxes inside a payload; nullopt when one does not fit.
std::optional<std::vector<Box>> childrenOf(const uint8_t* data, size_t size)
{
    std::vector<Box> children;
    size_t at = 0;
    while (at < size) {
        BoxHeader header;
        if (!readBoxHeader(data + at, size - at, size - at, header))
            return std::nullopt;
        children.push_back({header.type, data + at + header.headerBytes, size_t(header.totalBytes - header.headerBytes)});
        at += size_t(header.totalBytes);
    }
    return children;
}

// How many children of the type a payload holds, and the last of them;
// -1 when the payload is malformed.
int childOfType(const uint8_t* data, size_t size, uint32_t type, Box& found)
{
    const std::optional<std::vector<Box>> children = childrenOf(data, size);
    if (!children)
        return -1;
    int count = 0;
    for (const Box& child : *children) {
        if (child.type == type) {
            found = child;
            ++count;
        }
    }
    return count;
}

// The one box at the end of a path of types below a payload, each level
// holding exactly one of its type.
std::optional<Box> onlyBoxAt(Box box, std::initializer_list<uint32_t> path)
{
    for (const uint32_t type : path) {
        Box child{};
        if (childOfType(box.payload, box.size, type, child) != 1)
            return std::nullopt;
        box = child;
    }
    return box;
}

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

// A view of a range of the file, unmapped when it goes.
class MappedRange {
public:
    MappedRange(const FfmpegFileMapping& file, int64_t offset, size_t length)
    {
        const int64_t lead = offset % FfmpegFileMapping::granularity();
        if (length == 0 || uint64_t(lead) > std::numeric_limits<size_t>::max() - length)
            return;
        viewLength_ = size_t(lead) + length;
        base_ = file.mapView(offset - lead, viewLength_);
        // A file cut short since it was opened would fault its reader.
        if (base_ && file.currentSize() >= offset + int64_t(length))
            data_ = base_ + lead;
    }
    ~MappedRange()
    {
        if (base_)
            FfmpegFileMapping::unmapView(base_, viewLength_);
    }
    MappedRange(const MappedRange&) = delete;
    MappedRange& operator=(const MappedRange&) = delete;

    const uint8_t* data() const { return data_; }

private:
    const uint8_t* base_ = nullptr;
    const uint8_t* data_ = nullptr;
    size_t viewLength_ = 0;
};

// Real files hold a handful of top-level boxes before their first fragment;
// one of thousands is no movie worth walking box by box.
constexpr int kMostTopLevelBoxes = 4096;

// Calls visit(header, offset) on the file's top-level boxes in order until
// it returns false. False where a box does not fit the file (a file cut
// short) or the walk meets too many boxes.
template <typename Visit>
bool visitTopLevelBoxes(const FfmpegFileMapping& file, Visit visit)
{
    int64_t at = 0;
    for (int boxes = 0; at < file.size(); ++boxes) {
        const uint64_t room = uint64_t(file.size() - at);
        const size_t available = size_t(std::min<uint64_t>(room, 16));
        const MappedRange bytes(file, at, available);
        BoxHeader header;
        if (boxes == kMostTopLevelBoxes || !bytes.data() || !readBoxHeader(bytes.data(), available, room, header))
            return false;
        if (!visit(header, at))
            return true;
        at += int64_t(header.totalBytes);
    }
    return true;
}

// Where the payload of the file's only `moov` lies; nullopt for a file that
// is fragmented, has no or several movie headers, or is cut short.
std::optional<std::pair<int64_t, uint64_t>> moviePayloadOf(const FfmpegFileMapping& file)
{
    std::optional<std::pair<int64_t, uint64_t>> payload;
    bool plain = true;
    const bool walked = visitTopLevelBoxes(file, [&](const BoxHeader& header, int64_t at) {
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
    const bool walked = visitTopLevelBoxes(*file, [&](const BoxHeader& header, int64_t) {
        segmentIndex = segmentIndex || header.type == boxType("sidx");
        fragments.present = header.type == boxType("moof");
        return !fragments.present;
    });
    if (!walked)
        return {};
    fragments.indexedAhead = fragments.present && segmentIndex;
    return fragments;
}

} // namespace Qel
