// The containers that the FFmpeg movie source treats apart, known by the
// name of the FFmpeg demuxer that opened them, and what each keeps in its
// header. Internal to the FFmpeg movie source.
#pragma once

struct AVFormatContext;

namespace Qel {

// QuickTime and MP4 (FFmpeg's "mov,mp4,m4a,3gp,3g2,mj2" demuxer).
bool isQuickTimeOrMp4(const AVFormatContext* format);

bool isAvi(const AVFormatContext* format);

// Matroska and WebM.
bool isMatroska(const AVFormatContext* format);

// ASF (Windows Media).
bool isAsf(const AVFormatContext* format);

// Raw DV (not DV inside another container).
bool isRawDv(const AVFormatContext* format);

bool isMxf(const AVFormatContext* format);

// MPEG program and transport streams, and elementary MPEG video.
bool isMpegSystemStream(const AVFormatContext* format);

// QuickTime, MP4 and AVI files index every packet in their headers.
bool keepsCompleteIndex(const AVFormatContext* format);

// Whether the header alone describes every stream and indexes every packet
// (QuickTime and MP4, unless FFmpeg found no header), so that probing the
// streams adds nothing a reader needs beyond the probed parameters.
bool headerDescribesStreams(const AVFormatContext* format);

} // namespace Qel
