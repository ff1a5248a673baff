// The composition offsets of a fragmented QuickTime or MP4 track, from the
// runs of samples (`trun`) of its fragments, as FFmpeg's demuxer reads them
// when it opens the file.
#include "formats/mp4/FfmpegBoxes.h"
#include "formats/mp4/FfmpegCompositionOffsets.h"

#include <bitset>
#include <limits>

namespace QelRuntime {

namespace {

constexpr uint32_t kSampleDescriptionNamed = 0x02;  // in a `tfhd`'s flags
// In a `trun`'s flags: the fields ahead of its samples, then each sample's.
constexpr uint32_t kDataOffset = 0x01, kFirstSampleFlags = 0x04;
constexpr uint32_t kSampleFields = 0xF00, kFieldsBeforeOffset = 0x700, kSampleOffset = 0x800;

size_t fieldBytes(uint32_t flags) { return 4 * std::bitset<32>(flags).count(); }

void addOffset(int32_t offset, CompositionOffsets& offsets)
{
    if (!offsets.runs.empty() && offsets.runs.back().offset == offset && offsets.runs.back().count < UINT32_MAX)
        ++offsets.runs.back().count;
    else
        offsets.runs.push_back({1, offset});
    ++offsets.samples;
    offsets.decodingShift = std::max<int64_t>(offsets.decodingShift, -int64_t(offset));
}

// FFmpeg reads a run's samples whatever room its box leaves them: only runs
// that hold them all are taken.
bool addRunOffsets(const Box& trun, uint64_t mostSamples, CompositionOffsets& offsets)
{
    if (trun.size < 8)
        return false;
    const uint32_t flags = bigEndian32(trun.payload) & 0xFFFFFF;
    const uint64_t count = bigEndian32(trun.payload + 4);
    const size_t first = 8 + fieldBytes(flags & (kDataOffset | kFirstSampleFlags));
    const size_t sampleBytes = fieldBytes(flags & kSampleFields);
    if (first > trun.size || count > mostSamples - offsets.samples ||
        (sampleBytes > 0 && count > (trun.size - first) / sampleBytes))
        return false;
    const uint8_t* field = trun.payload + first + fieldBytes(flags & kFieldsBeforeOffset);
    for (uint64_t i = 0; i < count; ++i, field += sampleBytes) {
        // FFmpeg takes the field as signed in either version of the box.
        const int32_t offset = flags & kSampleOffset ? int32_t(bigEndian32(field)) : 0;
        if (offset == std::numeric_limits<int32_t>::min())  // FFmpeg's shift would not hold it
            return false;
        addOffset(offset, offsets);
    }
    return true;
}

// The runs of a `traf` whose `tfhd`, the only one, comes first and names
// no sample description of its own (FFmpeg skips the runs of a description
// other than the track's).
bool addTrackFragmentOffsets(const Box& traf, uint32_t trackId, uint64_t mostSamples, CompositionOffsets& offsets)
{
    const uint8_t* header = nullptr;
    return visitChildren(traf.payload, traf.size, [&](const Box& child) {
        if (child.type == boxType("tfhd")) {
            if (header || child.size < 8 || (bigEndian32(child.payload) & kSampleDescriptionNamed))
                return false;
            header = child.payload;
        } else if (child.type == boxType("trun")) {
            if (!header)
                return false;
            if (bigEndian32(header + 4) == trackId && !addRunOffsets(child, mostSamples, offsets))
                return false;
        }
        return true;
    });
}

} // namespace

bool addFragmentOffsets(const uint8_t* moof, size_t size, uint32_t trackId, uint64_t mostSamples,
                        CompositionOffsets& offsets)
{
    return visitChildren(moof, size, [&](const Box& child) {
        return child.type != boxType("traf") || addTrackFragmentOffsets(child, trackId, mostSamples, offsets);
    });
}

std::optional<CompositionOffsets> fragmentOffsetsInFile(const std::string& path, uint32_t trackId,
                                                        uint64_t mostSamples)
{
    const std::unique_ptr<FfmpegFileMapping> file = FfmpegFileMapping::open(path);
    if (!file)
        return std::nullopt;
    CompositionOffsets offsets;
    offsets.runs.reserve(size_t(mostSamples));  // a run a sample at the most
    bool fits = true;
    // Two boxes for each fragment (`moof` and `mdat`), a fragment for each
    // sample at the most, as many for the other tracks, and a handful more:
    // a file of countless boxes is not walked to its end.
    const uint64_t mostBoxes = 4096 + 4 * mostSamples;
    FileWindow window(*file);
    const bool walked = visitTopLevelBoxes(window, mostBoxes, [&](const BoxHeader& header, int64_t at) {
        if (header.type != boxType("moof"))
            return true;
        const size_t size = size_t(std::min<uint64_t>(header.totalBytes - header.headerBytes, SIZE_MAX));
        const uint8_t* payload = window.bytes(at + int64_t(header.headerBytes), size);
        fits = size == header.totalBytes - header.headerBytes && payload &&
               addFragmentOffsets(payload, size, trackId, mostSamples, offsets);
        return fits;
    });
    if (!walked || !fits)
        return std::nullopt;
    return offsets;
}

} // namespace QelRuntime
