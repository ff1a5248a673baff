// Reads the packets of one track of an FfmpegMovie, through a demuxer of its
// own (other streams are discarded unread where the container allows).
// Serves both the export source, which asks for one sample's bytes at a
// time in any order, and the picture decoder, which reads in decoding order
// from a sync sample. One thread at a time; must not outlive the movie.
#pragma once

#include "FfmpegLibraries.h"
#include "FfmpegMovie.h"
#include "timing/FfmpegPacketRecognition.h"

#include <cstddef>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace QelRuntime {

class FfmpegPacketReader {
public:
    // Null when the file can no longer be opened.
    static std::unique_ptr<FfmpegPacketReader> open(const FfmpegMovie& movie, size_t trackIndex);

    const FfmpegTrack& track() const { return track_; }
    const AVStream* stream() const { return format_->streams[track_.streamIndex]; }

    // Positions the reader so that the next packet read is a sync packet at
    // or before the sync sample syncIndex. False when the file cannot be
    // positioned (damaged or truncated).
    bool seekToSync(size_t syncIndex);

    // Positions the reader at the very start of the file, where priming
    // that an edit list trims is read again.
    bool rewind();

    // The next packet of the track in decoding order, into packet (which is
    // unreferenced first), with the times the movie's sample table gives it.
    // False at the end of the file or on a read error.
    bool readPacket(AVPacket* packet);

    // The compressed bytes of sample index into packet. False when the
    // sample cannot be read (truncated file, index out of range).
    bool readSample(size_t index, AVPacket* packet);

    // For a reader whose packets are read in order by a decoder and whose
    // samples are also asked for one by one: every packet read from the
    // file is remembered from now on (within the bounds of the recent
    // packets), so that recentSample() finds it.
    void rememberEveryPacket() { remembersEveryPacket_ = true; }

    // The bytes of sample index into packet where they have been read
    // lately, without moving the reader.
    bool recentSample(size_t index, AVPacket* packet);

    // Reads on from the reader's position to sample index, at most
    // kAheadPackets packets, keeping what it reads for readPacket() to give
    // out in order; the sample's bytes into packet. False when the sample
    // does not lie that close ahead.
    bool readAheadTo(size_t index, AVPacket* packet);

private:
    FfmpegPacketReader(const FfmpegMovie& movie, size_t trackIndex, FormatContextPtr format);

    bool readFromFile(AVPacket* packet);
    bool seekBefore(int64_t dts, int64_t backoff);
    // After a seek: reads on to the first sync packet into pending_; true when
    // its presentation time is at or before pts (or anywhere).
    bool landOnSyncPacket(int64_t pts, bool anywhere);
    // From a sync packet in pending_, reads on to the sync sample's own
    // packet and puts it in pending_; false (position lost) when it is not
    // ahead.
    bool skipAheadTo(const FfmpegSamplePosition& sync);
    bool seekToStart();
    bool liesBehind(const FfmpegSamplePosition& position, const AVPacket* read) const;
    bool takeRecent(const FfmpegSamplePosition& position, AVPacket* packet);
    void remember(const AVPacket* packet);
    bool readForwardTo(const FfmpegSamplePosition& position, AVPacket* packet);

    const FfmpegTrack& track_;
    const FfmpegContainerTraits& container_;  // the movie's
    FormatContextPtr format_;
    PacketPtr pending_;  // a packet read while positioning, returned next
    FfmpegPacketRecognition recognition_;
    bool timesByIndexEntry_;  // see timesPicturesByIndexEntry

    // Packets read past on the way to another sample (later samples that
    // decode earlier, when pictures are reordered). Bounded by
    // kRecentPackets and kRecentBytes; the oldest go first.
    std::deque<PacketPtr> recent_;
    size_t recentBytes_ = 0;
    bool remembersEveryPacket_ = false;
    // Packets read ahead by readAheadTo, given out by readPacket after
    // pending_; fewer than the recent packets, so each is also one of them.
    std::deque<PacketPtr> ahead_;
    size_t lastSync_ = SIZE_MAX;     // the sync sample the reader last started from
    int64_t lastReadDts_ = INT64_MIN;  // decoding time of the last packet read from the file
};

} // namespace QelRuntime
