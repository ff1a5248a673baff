// One sound track of an opened movie, delivered as interleaved 16-bit signed
// PCM at the sample rate the runtime's audio extraction reports, in one or two
// channels: a track with more channels is downmixed to stereo by the runtime.
//
// Lifecycle: openTitle constructs the stream and hands it to the host, which
// owns it from then on and destroys it through slot 0. openStream enables the
// track (unless the file does) and begins an extraction over the whole movie,
// which mixes every enabled sound track; readStream then hands out one chunk
// of up to 128 KiB per call; closeStream ends the extraction and disables the
// track again if openStream enabled it, after which the stream may be opened
// again.
// Destruction closes the stream. Once the container has closed the movie
// (releaseMovie), the stream fails to open and to seek, and reads nothing.
//
// Ownership: the stream owns its extraction and its working block. Each chunk
// that readStream returns holds its own copy of the samples and belongs to
// the host until it calls the chunk's release. The container and the clock
// are borrowed: the stream reads the container's movie, time scale, duration
// and allocator, and calls the clock while it is open.
//
// Threads: none of its own. The host calls one stream from one thread at a
// time; nothing here takes a lock.
#pragma once

#include <cstdint>

#include "container/ContainerQuickTime.h"
#include "media/MediaBuffer.h"
#include "media/Properties.h"
#include "quicktime/QtTypes.h"
#include "streams/StreamInterface.h"

namespace Qel {

class ContainerQuickTime::AudioStream : public StreamInterface, public ContainerQuickTime::MovieDependent {
    QEL_DESTRUCTOR_SLOT(AudioStream)
public:
    AudioStream(ContainerQuickTime* container, int32_t trackIndex, QtTrack track);

    uint32_t getDuration() override;
    bool queryOption(uint32_t, uint32_t, uint32_t, uint32_t) override;
    StreamFormat* getFormat() override;
    Properties* getProperties() override;
    int32_t getKind() override;
    // Fails when the runtime refuses a step or reports a format that cannot
    // be delivered (no channels, or a rate that gives no bytes per second).
    // What a failed open acquired stays for closeStream to release.
    int32_t openStream(HostClock* clock) override;
    int32_t rewindStream() override;
    int32_t getSyncPoint(int32_t readSpeed, uint32_t time, uint32_t* syncTime) override;
    int32_t seekStream(uint32_t time, uint32_t* actualTime, int32_t flag) override;
    int32_t closeStream() override;
    int32_t readStream(MediaChunk** chunk) override;
    bool setReadSpeed(int32_t speed) override;
    bool setReadMode(int32_t mode) override;

    void releaseMovie() override;
    void forgetContainer() override;

    // Whether the track plays with the movie (the file enables it, or an
    // open stream did).
    bool isTrackEnabled() const;

protected:
    ~AudioStream();

private:
    static constexpr uint32_t kWorkingBlockSize = 0x20000;  // 128 KiB
    static constexpr uint32_t kExtractionComplete = 1;      // bit of extractionFlags
    static constexpr int32_t kReadModeContinuous = 1;
    static constexpr int32_t kReadModeSyncSamples = 2;

    bool beginExtraction();
    bool agreeSampleFormat(bool& downmix);
    bool agreeStereoLayout();
    bool sampleFormatDeliverable() const;
    bool replaceWorkingBlock();
    void prepareBufferList();
    void publishProperties();
    void freeWorkingBlock();
    void enableTrack();
    int32_t fill();
    QtLongStatus fillWholeBlock();
    bool isReadable() const;
    bool isTrailingClock();
    void seekBehindClock();
    MediaChunk* deliverChunk(uint32_t size);

    ContainerQuickTime* container;  // not owned; null once the container is destroyed
    // The host's clock, kept while open and never released. While it runs
    // backwards (negative readSpeed) or in sync-sample mode, sound is not
    // played: reads deliver nothing and keep the extraction 10 ms behind it.
    HostClock* clock;
    StreamFormat format;
    AudioProperties properties;
    QtTrack track;                  // null once the movie is disposed
    int32_t trackIndex;             // 1-based index in the movie; stored, not used
    QtExtraction extraction;        // open from a successful begin until closeStream
    QtPcmDescription description;   // the output format agreed with the runtime
    // One buffer over the working block. Each fill is given the whole block;
    // the runtime overwrites the byte size with the bytes it delivered.
    QtPcmBufferList bufferList;
    uint32_t extractionFlags;       // from the last fill; bit 0: nothing more will come
    uint32_t framesPerRead;
    MediaBuffer sampleBuffer;       // owns the working block the runtime fills
    uint32_t bytesPerSecond;
    // Chunk times come from bytes, not from the runtime: bytePosition counts
    // the bytes delivered since the last open or seek, starting from the
    // bytes that the time reached by the seek stands for.
    uint64_t bytePosition;
    // The last fill's samples are still in the working block: a read ran
    // out of memory for their chunk. The next read delivers them; a seek,
    // open or close drops them.
    bool fillUndelivered;
    bool trackEnabledByOpen;  // the file disables the track; closeStream disables it again
};

} // namespace Qel
