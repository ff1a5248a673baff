// Opening the extraction: the output format and, for tracks of more than two
// channels, the stereo layout are agreed with the runtime before the working
// block and the buffer list are set up.
#include <cstring>
#include <memory>
#include <new>

#include "plugin/ResultCodes.h"
#include "quicktime/QtFailure.h"
#include "quicktime/QtOperations.h"
#include "streams/AudioStream.h"
#include "support/Log.h"

namespace Qel {

namespace {

constexpr uint32_t kBitsPerChannel = 16;
constexpr uint32_t kBytesPerSample = kBitsPerChannel / 8;
constexpr uint32_t kMaxChannels = 2;
constexpr uint32_t kLayoutRecordSize = 32;

// Asks for 16-bit signed packed PCM at the reported rate, keeping the
// reported channel count up to two. True when the runtime is to fold more
// channels down to two.
bool requestPcm16(QtPcmDescription& description)
{
    description.formatCode = kQtLinearPcm;
    description.formatFlags = kQtSignedPackedFlags;
    description.framesPerPacket = 1;
    const bool downmix = description.channelsPerFrame > kMaxChannels;
    if (downmix)
        description.channelsPerFrame = kMaxChannels;
    description.bitsPerChannel = kBitsPerChannel;
    description.bytesPerFrame = description.channelsPerFrame * kBytesPerSample;
    description.bytesPerPacket = description.bytesPerFrame;
    return downmix;
}

uint32_t wordAt(const unsigned char* record, uint32_t offset)
{
    uint32_t word = 0;
    std::memcpy(&word, record + offset, sizeof word);
    return word;
}

// Whether a layout read back is stereo, in either form the runtime may give
// it: by its tag, or expanded into exactly a Left and a Right description.
bool isStereoLayout(const unsigned char* record, uint32_t size)
{
    const uint32_t tag = wordAt(record, 0);
    if (tag == kQtStereoLayoutTag)
        return true;
    constexpr uint32_t kExpandedStereoSize = kQtLayoutHeaderSize + 2 * kQtChannelDescriptionSize;
    if (tag != kQtUseChannelDescriptions || size < kExpandedStereoSize)
        return false;
    return wordAt(record, 8) == 2 && wordAt(record, kQtLayoutHeaderSize) == kQtChannelLabelLeft &&
           wordAt(record, kQtLayoutHeaderSize + kQtChannelDescriptionSize) == kQtChannelLabelRight;
}

std::unique_ptr<unsigned char[]> zeroedRecord(uint32_t size)
{
    return std::unique_ptr<unsigned char[]>(new (std::nothrow) unsigned char[size]());
}

// bytesPerSecond as the stream computes it: in floating point, truncated.
double bytesPerSecondOf(const QtPcmDescription& description)
{
    return double(description.channelsPerFrame) * description.sampleRate * double(kBytesPerSample);
}

} // namespace

int32_t ContainerQuickTime::AudioStream::openStream(HostClock* hostClock)
{
    if (!track)
        return kResultFailure;
    clock = hostClock;
    extractionFlags = 0;
    fillUndelivered = false;
    position = 0;
    endOfStream = false;  // a stream opened again starts unflagged
    enableTrack();

    bool downmix = false;
    if (!beginExtraction() || !agreeSampleFormat(downmix))
        return kResultFailure;
    if (downmix && !agreeStereoLayout())
        return kResultFailure;
    if (!sampleFormatDeliverable() || !replaceWorkingBlock())
        return kResultFailure;
    prepareBufferList();
    QEL_LOG(kAudioOpenStream, "QT audio data rate: %f chanels: %lu", description.sampleRate,
            static_cast<unsigned long>(description.channelsPerFrame));
    publishProperties();
    return kResultSuccess;
}

bool ContainerQuickTime::AudioStream::beginExtraction()
{
    // An open that follows an open without a close replaces the extraction;
    // the earlier one is ended rather than lost.
    if (extraction) {
        QtExtractEnd(extraction);
        extraction = nullptr;
    }
    QtExtraction begun = nullptr;
    const QtLongStatus status = QtExtractBegin(container->movie, 0, &begun);
    if (status != 0) {
        QEL_LOG_QT_FAILURE(kAudioOpenStream, status);
        return false;
    }
    extraction = begun;
    return true;
}

bool ContainerQuickTime::AudioStream::agreeSampleFormat(bool& downmix)
{
    QtLongStatus status =
        QtExtractPropertyGet(extraction, kQtAudioPropertyClass, kQtPcmDescriptionProperty, sizeof description, &description, nullptr);
    if (status != 0) {
        QEL_LOG_QT_FAILURE(kAudioOpenStream, status);
        return false;
    }
    downmix = requestPcm16(description);
    status = QtExtractPropertySet(extraction, kQtAudioPropertyClass, kQtPcmDescriptionProperty, sizeof description, &description);
    if (status != 0) {
        QEL_LOG_QT_FAILURE(kAudioOpenStream, status);
        return false;
    }
    status = QtExtractPropertyGet(extraction, kQtAudioPropertyClass, kQtPcmDescriptionProperty, sizeof description, &description, nullptr);
    if (status != 0) {
        QEL_LOG_QT_FAILURE(kAudioOpenStream, status);
        return false;
    }
    return true;
}

// Sets the stereo layout, then reads the layout back at the size the runtime
// reports for it. Allocation failures and a layout other than stereo (by
// tag or expanded) fail without a log line; only the runtime's refusals are
// logged.
bool ContainerQuickTime::AudioStream::agreeStereoLayout()
{
    std::unique_ptr<unsigned char[]> layout = zeroedRecord(kLayoutRecordSize);
    if (!layout)
        return false;
    std::memcpy(layout.get(), &kQtStereoLayoutTag, sizeof kQtStereoLayoutTag);
    QtLongStatus status = QtExtractPropertySet(extraction, kQtAudioPropertyClass, kQtChannelLayoutProperty, kLayoutRecordSize, layout.get());
    if (status != 0) {
        QEL_LOG_QT_FAILURE(kAudioOpenStream, status);
        return false;
    }
    uint32_t size = 0;
    status = QtExtractPropertyInfo(extraction, kQtAudioPropertyClass, kQtChannelLayoutProperty, nullptr, &size, nullptr);
    if (status != 0) {
        QEL_LOG_QT_FAILURE(kAudioOpenStream, status);
        return false;
    }
    // A record too small to hold the tag cannot be checked.
    if (size < sizeof kQtStereoLayoutTag)
        return false;
    layout = zeroedRecord(size);
    if (!layout)
        return false;
    status = QtExtractPropertyGet(extraction, kQtAudioPropertyClass, kQtChannelLayoutProperty, size, layout.get(), nullptr);
    if (status != 0) {
        QEL_LOG_QT_FAILURE(kAudioOpenStream, status);
        return false;
    }
    return isStereoLayout(layout.get(), size);
}

// The runtime has the last word on the format. One that would divide by zero
// later (no channels, no bytes per packet, a rate that gives no bytes per
// second) or overflow the 32-bit rates is refused here, silently like the
// other failures that are not the runtime's.
bool ContainerQuickTime::AudioStream::sampleFormatDeliverable() const
{
    const double perSecond = bytesPerSecondOf(description);
    return description.channelsPerFrame != 0 && description.bytesPerPacket != 0 && perSecond >= 1.0 &&
           perSecond < 4294967296.0;
}

// Out of memory for the block, the open fails silently like the stream's
// other allocation failures, with no block: reads and seeks then fail until
// the stream is opened again.
bool ContainerQuickTime::AudioStream::replaceWorkingBlock()
{
    freeWorkingBlock();
    unsigned char* block = new (std::nothrow) unsigned char[kWorkingBlockSize];
    if (!block)
        return false;
    sampleBuffer.setData(block, kWorkingBlockSize);
    framesPerRead = kWorkingBlockSize / description.bytesPerPacket;
    return true;
}

void ContainerQuickTime::AudioStream::prepareBufferList()
{
    bufferList.count = 1;
    bufferList.buffers[0].channels = description.channelsPerFrame;
    bufferList.buffers[0].byteSize = sampleBuffer.dataSize();
    bufferList.buffers[0].data = sampleBuffer.lockData();
    sampleBuffer.unlockData();
}

void ContainerQuickTime::AudioStream::publishProperties()
{
    bytePosition = 0;
    properties.channels = description.channelsPerFrame;
    properties.sampleRate = static_cast<int32_t>(description.sampleRate);
    properties.bitsPerSample = description.bitsPerChannel;
    bytesPerSecond = static_cast<uint32_t>(bytesPerSecondOf(description));
}

} // namespace Qel
