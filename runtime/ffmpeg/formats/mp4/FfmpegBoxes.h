// Reading the boxes of a QuickTime or MP4 file straight from its bytes,
// every size checked against what holds it, with no recursion: for the
// few facts of a header that FFmpeg does not pass on. Internal to the
// FFmpeg movie source.
#pragma once

#include "io/FfmpegFileMapping.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <vector>

namespace QelRuntime {

constexpr uint32_t boxType(const char (&name)[5])
{
    return uint32_t(uint8_t(name[0])) << 24 | uint32_t(uint8_t(name[1])) << 16 | uint32_t(uint8_t(name[2])) << 8 |
           uint32_t(uint8_t(name[3]));
}

inline uint32_t bigEndian32(const uint8_t* bytes)
{
    return uint32_t(bytes[0]) << 24 | uint32_t(bytes[1]) << 16 | uint32_t(bytes[2]) << 8 | uint32_t(bytes[3]);
}

inline uint64_t bigEndian64(const uint8_t* bytes) { return uint64_t(bigEndian32(bytes)) << 32 | bigEndian32(bytes + 4); }

struct BoxHeader {
    uint32_t type = 0;
    uint64_t headerBytes = 0;
    uint64_t totalBytes = 0;  // header included
};

// The header of a box whose first `available` bytes are at hand and which
// may take up to `room` bytes (what is left of its parent). False where its
// size is smaller than its header or reaches past the room.
bool readBoxHeader(const uint8_t* bytes, uint64_t available, uint64_t room, BoxHeader& box);

struct Box {
    uint32_t type;
    const uint8_t* payload;
    size_t size;
};

// Calls visit(box) on the boxes inside a payload in order, until it returns
// false or a box does not fit; whether every box fitted and was visited.
// Nothing is gathered: a walk over a long movie's fragments allocates
// nothing per fragment.
template <typename Visit>
bool visitChildren(const uint8_t* data, size_t size, Visit visit)
{
    for (size_t at = 0; at < size;) {
        BoxHeader header;
        if (!readBoxHeader(data + at, size - at, size - at, header) ||
            !visit(Box{header.type, data + at + header.headerBytes, size_t(header.totalBytes - header.headerBytes)}))
            return false;
        at += size_t(header.totalBytes);
    }
    return true;
}

// The boxes inside a payload; nullopt when one does not fit.
std::optional<std::vector<Box>> childrenOf(const uint8_t* data, size_t size);

// How many children of the type a payload holds, and the last of them;
// -1 when the payload is malformed.
int childOfType(const uint8_t* data, size_t size, uint32_t type, Box& found);

// The one box at the end of a path of types below a payload, each level
// holding exactly one of its type.
std::optional<Box> onlyBoxAt(Box box, std::initializer_list<uint32_t> path);

// A view of a range of the file, unmapped when it goes; no data where the
// range cannot be mapped or the file no longer holds it.
class MappedRange {
public:
    MappedRange(const FfmpegFileMapping& file, int64_t offset, size_t length);
    ~MappedRange();
    MappedRange(const MappedRange&) = delete;
    MappedRange& operator=(const MappedRange&) = delete;

    const uint8_t* data() const { return data_; }

private:
    const uint8_t* base_ = nullptr;
    const uint8_t* data_ = nullptr;
    size_t viewLength_ = 0;
};

// The bytes of a file read through one buffer, filled again only when a
// range asked for lies outside it. A walk over the top-level boxes of a long
// fragmented file takes each fragment's `moof` and the header of the box
// after it in one read of a few KiB: mapping the file instead costs a page
// fault at every fragment and the unmapping after, several times as much.
// A range longer than a read's worth (no real box header) is mapped.
class FileWindow {
public:
    explicit FileWindow(const FfmpegFileMapping& file) : file_(file) {}

    int64_t fileSize() const { return file_.size(); }
    // The length bytes at offset, valid until the next call; null where they
    // cannot be read or the file no longer holds them.
    const uint8_t* bytes(int64_t offset, size_t length);

private:
    const FfmpegFileMapping& file_;
    std::vector<uint8_t> buffer_;  // the file's bytes from start_ on
    int64_t start_ = 0;
    std::unique_ptr<MappedRange> view_;
};

// Calls visit(header, offset) on the file's top-level boxes in order until
// it returns false. False where a box does not fit the file (a file cut
// short) or the walk meets more than mostBoxes.
template <typename Visit>
bool visitTopLevelBoxes(FileWindow& file, uint64_t mostBoxes, Visit visit)
{
    int64_t at = 0;
    for (uint64_t boxes = 0; at < file.fileSize(); ++boxes) {
        const uint64_t room = uint64_t(file.fileSize() - at);
        const size_t available = size_t(std::min<uint64_t>(room, 16));
        const uint8_t* bytes = file.bytes(at, available);
        BoxHeader header;
        if (boxes == mostBoxes || !bytes || !readBoxHeader(bytes, available, room, header))
            return false;
        if (!visit(header, at))
            return true;
        at += int64_t(header.totalBytes);
    }
    return true;
}

} // namespace QelRuntime
