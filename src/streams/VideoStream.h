// ContainerQuickTime::VideoStream delivers the frames of one video track as
// uncompressed pictures in "ARGB", "UYVY", "YUY2" or "YV12".
//
// Lifecycle: the container constructs it in openTitle and hands it to the
// host, which owns it from then on and destroys it through slot 0. openStream
// opens the runtime's movie-export component and an export source over the
// whole movie, and picks the output format from a probe sample taken at half
// the movie's duration. Each readStream fetches one sample through the export
// source's data function and either copies its bytes (direct mode: the sample
// already is a frame in the output format) or decompresses it into
// frameBuffer through an off-screen surface (decompression mode). closeStream
// releases every runtime object and the stream may be opened again; the first
// read after each open makes the decoding set-up afresh. Once the container
// has closed the movie (releaseMovie), the stream fails to open, seek and
// read.
//
// Ownership: the stream owns exporter, the export source, sequence, surface
// and the block under frameBuffer. container, clock and track are borrowed.
// Every chunk returned by readStream belongs to the host until its release.
//
// Threads: the host calls one stream from one thread at a time; the stream
// takes no lock and calls the clock on the calling thread.
#pragma once

#include <cstddef>
#include <cstdint>

#include "container/ContainerQuickTime.h"
#include "media/MediaBuffer.h"
#include "media/Properties.h"
#include "quicktime/QtTypes.h"
#include "streams/StreamInterface.h"

namespace Qel {

class ContainerQuickTime::VideoStream : public StreamInterface, public ContainerQuickTime::MovieDependent {
    QEL_DESTRUCTOR_SLOT(VideoStream)
public:
    VideoStream(ContainerQuickTime* container, int32_t trackIndex, QtTrack track);

    uint32_t getDuration() override;
    bool queryOption(uint32_t, uint32_t, uint32_t, uint32_t) override;
    StreamFormat* getFormat() override;
    Properties* getProperties() override;
    int32_t getKind() override;
    // Fails (0x80100001) when the runtime refuses the track; the exporter
    // then stays open until closeStream. clock may be null (no catch-up).
    int32_t openStream(HostClock* clock) override;
    int32_t rewindStream() override;
    int32_t getSyncPoint(int32_t readSpeed, uint32_t time, uint32_t* syncTime) override;
    int32_t seekStream(uint32_t time, uint32_t* actualTime, int32_t flag) override;
    int32_t closeStream() override;
    // Success with no chunk means the stream has no further sample in the
    // read direction (endOfStream is then set).
    int32_t readStream(MediaChunk** chunk) override;
    bool setReadSpeed(int32_t speed) override;

    void releaseMovie() override;
    void forgetContainer() override;

protected:
    ~VideoStream();

private:
    static constexpr QtOSType kVideoMedia = fourCc('v', 'i', 'd', 'e');
    static constexpr QtOSType kYvu9 = fourCc('Y', 'V', 'U', '9');
    static constexpr QtOSType kYuvs = fourCc('y', 'u', 'v', 's');
    static constexpr QtOSType k2vuy = fourCc('2', 'v', 'u', 'y');
    static constexpr QtOSType kRaw = fourCc('r', 'a', 'w', ' ');
    static constexpr QtOSType kArgb32 = 32;
    static constexpr int16_t kNextSyncSample = 8;
    static constexpr int16_t kNextSample = 16;

    // Where the picture of the fetched sample lies, and how big the frame
    // made from it is.
    struct PictureSource {
        const unsigned char* bytes;
        size_t size;
        int32_t rowBytes;
        size_t frameBytes;
    };

    // Opening
    bool openExportSource();
    bool probeSample();
    void chooseOutputFormat(const QtImageDescription& description);
    bool computeGeometry(const QtImageDescription& description);
    void disposeExportSource();

    // Reading
    int32_t readFrame(MediaChunk** chunk);
    void catchUpWithClock();
    void catchUpForward(QtTimeValue target);
    void catchUpBackward(QtTimeValue target);
    QtTimeValue nextStepTime(QtTimeValue from) const;
    QtTimeValue nextSampleTime(int16_t flags, QtTimeValue from, int32_t rate) const;
    static int32_t stepRate(int64_t speed);
    bool fetchPicture(PictureSource& source, QtStatus& status);
    QtStatus fetchSample(QtTimeValue time, int32_t sampleCount);
    QtTimeValue lastSourceTimeIn(QtTimeValue movieUnit) const;
    QtTimeValue sourceToMovieUnits(int64_t sourceTime) const;
    bool readDescription(QtImageDescription& description) const;
    bool prepareDecoding(const QtImageDescription& description, QtStatus& status);
    bool startDecompression(QtStatus& status);
    void releaseDecoding();
    bool isDirectFormat(const QtImageDescription& description) const;
    bool pictureSource(const QtImageDescription& description, PictureSource& source, QtStatus& status);
    int32_t packedRowBytes(const QtImageDescription& description, size_t sampleSize) const;
    MediaChunk* deliverFrame(const PictureSource& source);
    void fillFrame(unsigned char* frame, const PictureSource& source) const;
    void copyRows(unsigned char* frame, const PictureSource& source) const;
    void convertYvu9ToYv12(unsigned char* frame, const PictureSource& source) const;
    static int32_t yvu9RowBytes(size_t sampleSize, int32_t width, int32_t height);
    void markEndOfStream(QtTimeValue next);
    int32_t giveUp();
    int32_t failRead(QtStatus status);

    // Time conversions between host milliseconds and movie units.
    QtTimeValue msToUnits(uint32_t ms) const;
    uint32_t unitsToMs(QtTimeValue units) const;
    // The container's movie duration in units; 0 once the container is gone.
    QtTimeValue movieDuration() const;

    ContainerQuickTime* container;  // not owned; null once the container is destroyed
    ImageProperties properties;
    StreamFormat format;
    HostClock* clock;  // the host's; kept while open, never released
    QtComponentInstance exporter;
    QtExportPropertyFunction propertyFunction;
    QtExportDataFunction dataFunction;
    void* sourceContext;
    // The scale of the times exchanged with the data function, as the
    // source's creation handed it back (the media's, which may differ from
    // the movie's). The request speaks it; everything else speaks movie
    // units, converted at that boundary (fetchSample).
    int32_t sourceTimeScale;
    QtSampleRequest request;  // its times in movie units once fetchSample returns
    int32_t lastDescriptionSeed;
    QtSequence sequence;
    QtSurface surface;
    QtPixelMap pixelMap;
    MediaBuffer frameBuffer;  // owns the block under surface
    QtOSType decodeFormat;
    QtTrack track;  // not owned; null once the movie is disposed
    int32_t trackIndex;
    // The time of the next sample to fetch, in movie units. Catch-up runs
    // while the clock is running: reading forwards, while currentTime lies
    // before the clock's time + 10 ms it jumps from sync sample to sync
    // sample until one at or past that time; reading backwards, while
    // currentTime lies after the clock's time it jumps back the same way to
    // one at or before it. The sample landed on is the next one fetched.
    // When the sync samples run out before the clock (the clock past the
    // last one), it lands on the last one found, or stays where it is when
    // there was none, and reading goes on in order. Reading backwards steps with a negative rate at any negative
    // speed (the runtime searches forwards at rate 0) and, from the movie's
    // end where rewind puts it, starts with the last sample.
    QtTimeValue currentTime;
    // The sample at currentTime was delivered and had no successor in the
    // read direction (the first or last sample, or a track that ends early);
    // currentTime is then that sample's own time.
    // Reads then give up until a seek, rewind, open or catch-up moves
    // currentTime, or a change of speed or mode gives the sample a successor,
    // which the next read delivers.
    bool deliveredFinalSample;
    int32_t sourceRowBytes;  // of the sample being delivered
    int32_t outputRowBytes;  // "YV12": bytes per row of the luma plane
    int32_t frameSize;
    int32_t bitsPerPixel;
    bool decodingReady;  // a decoding set-up exists for lastDescriptionSeed
    // The sync sample that the last successful getSyncPoint found, in movie
    // units. Its time in whole milliseconds usually converts back to a time
    // inside the sample before it, so a seek starts from these units instead.
    QtTimeValue lastSyncPoint;
};

} // namespace Qel
