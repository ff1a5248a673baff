#include "formats/mp4/FfmpegBoxes.h"

#include <limits>

namespace QelRuntime {

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

MappedRange::MappedRange(const FfmpegFileMapping& file, int64_t offset, size_t length)
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

MappedRange::~MappedRange()
{
    if (base_)
        FfmpegFileMapping::unmapView(base_, viewLength_);
}

// Large enough to hold the headers of several fragments of a movie and the
// `moof`s between them, small enough for any address space.
constexpr size_t kWindowBytes = size_t(4) << 20;

const uint8_t* FileWindow::bytes(int64_t offset, size_t length)
{
    if (view_ && view_->data() && offset >= start_ && uint64_t(offset - start_) + length <= length_)
        return view_->data() + (offset - start_);
    if (offset < 0 || offset >= file_.size() || length > uint64_t(file_.size() - offset))
        return nullptr;
    start_ = offset;
    length_ = size_t(std::min<uint64_t>(std::max(length, kWindowBytes), uint64_t(file_.size() - offset)));
    view_.reset();
    view_ = std::make_unique<MappedRange>(file_, start_, length_);
    return view_->data();
}

} // namespace QelRuntime
