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
    const auto gather = [&children](const Box& child) {
        children.push_back(child);
        return true;
    };
    if (!visitChildren(data, size, gather))
        return std::nullopt;
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

// A `moof` of a few hundred samples and the next box's header in one read;
// a longer one takes a read of its own.
constexpr size_t kReadBytes = 4096;
// Mapped beyond this: a box that claims more is read only as far as its
// reader goes, and a damaged size asks for no buffer of gigabytes.
constexpr size_t kMostReadBytes = size_t(4) << 20;

const uint8_t* FileWindow::bytes(int64_t offset, size_t length)
{
    if (!buffer_.empty() && offset >= start_ && uint64_t(offset - start_) + length <= buffer_.size())
        return buffer_.data() + (offset - start_);
    if (offset < 0 || offset >= file_.size() || length > uint64_t(file_.size() - offset))
        return nullptr;
    if (length > kMostReadBytes) {
        view_.reset();
        view_ = std::make_unique<MappedRange>(file_, offset, length);
        return view_->data();
    }
    buffer_.resize(size_t(std::min<uint64_t>(std::max(length, kReadBytes), uint64_t(file_.size() - offset))));
    buffer_.resize(file_.read(offset, buffer_.data(), buffer_.size()));
    start_ = offset;
    return buffer_.size() >= length ? buffer_.data() : nullptr;
}

} // namespace QelRuntime
