#include "operations/ChannelLayout.h"

#include <cstring>

#include "source/RuntimeStatus.h"

namespace QelRuntime {

namespace {

constexpr uint32_t kMonoTag = 0x00640001;
constexpr uint32_t kDiscreteInOrderTag = 0x00930000;
constexpr uint32_t kTaggedRecordSize = 32;

// CoreAudioTypes.h's channel labels.
constexpr uint32_t kCenter = 3, kLfe = 4, kLeftSurround = 5, kRightSurround = 6, kCenterSurround = 9,
                   kRearLeft = 33, kRearRight = 34, kMono = 42;
constexpr uint32_t kLeft = kQtChannelLabelLeft, kRight = kQtChannelLabelRight;

// The labels of the channels of a layout the runtime uses, in order.
std::vector<uint32_t> channelLabels(uint32_t tag)
{
    if (tag == kMonoTag)
        return {kMono};
    if (tag == kQtStereoLayoutTag)
        return {kLeft, kRight};
    switch (tag & 0xFFFF) {
    case 3: return {kLeft, kRight, kCenter};
    case 4: return {kLeft, kRight, kLeftSurround, kRightSurround};
    case 5: return {kLeft, kRight, kCenter, kLeftSurround, kRightSurround};
    case 6: return {kLeft, kRight, kCenter, kLfe, kLeftSurround, kRightSurround};
    case 7: return {kLeft, kRight, kCenter, kLfe, kCenterSurround, kLeftSurround, kRightSurround};
    case 8: return {kLeft, kRight, kCenter, kLfe, kLeftSurround, kRightSurround, kRearLeft, kRearRight};
    default: return {};
    }
}

uint32_t wordAt(const unsigned char* record, uint32_t offset)
{
    uint32_t word = 0;
    std::memcpy(&word, record + offset, sizeof word);
    return word;
}

void putWord(std::vector<unsigned char>& record, uint32_t offset, uint32_t word)
{
    std::memcpy(record.data() + offset, &word, sizeof word);
}

} // namespace

uint32_t ownLayoutTag(int32_t channels)
{
    if (channels == 1)
        return kMonoTag;
    if (channels == 2)
        return kQtStereoLayoutTag;
    return kDiscreteInOrderTag | uint32_t(channels);
}

std::vector<unsigned char> layoutRecord(uint32_t tag, bool expanded)
{
    if (!expanded) {
        std::vector<unsigned char> record(kTaggedRecordSize);
        putWord(record, 0, tag);
        return record;
    }
    const std::vector<uint32_t> labels = channelLabels(tag);
    std::vector<unsigned char> record(kQtLayoutHeaderSize + kQtChannelDescriptionSize * labels.size());
    putWord(record, 0, kQtUseChannelDescriptions);
    putWord(record, 8, uint32_t(labels.size()));
    for (size_t i = 0; i < labels.size(); ++i)
        putWord(record, uint32_t(kQtLayoutHeaderSize + kQtChannelDescriptionSize * i), labels[i]);
    return record;
}

std::optional<uint32_t> layoutTagOf(const unsigned char* record, uint32_t size, int32_t sourceChannels,
                                    QtLongStatus& status)
{
    status = 0;
    if (size < kQtLayoutHeaderSize) {
        status = kQtPropertyBadValueSize;
        return std::nullopt;
    }
    const uint32_t tag = wordAt(record, 0);
    if (tag != kQtUseChannelDescriptions)
        return tag;
    const uint32_t count = wordAt(record, 8);
    if (count > (size - kQtLayoutHeaderSize) / kQtChannelDescriptionSize) {
        status = kQtPropertyBadValueSize;
        return std::nullopt;
    }
    std::vector<uint32_t> labels;
    for (uint32_t i = 0; i < count; ++i)
        labels.push_back(wordAt(record, kQtLayoutHeaderSize + kQtChannelDescriptionSize * i));
    for (uint32_t known : {kQtStereoLayoutTag, ownLayoutTag(sourceChannels)})
        if (labels == channelLabels(known))
            return known;
    return std::nullopt;
}

} // namespace QelRuntime
