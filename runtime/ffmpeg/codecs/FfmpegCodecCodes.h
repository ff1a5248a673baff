// The four-character codes under which the FFmpeg movie source presents
// FFmpeg's streams: the media type of each track and the compression type of
// its sample description, in QuickTime's style (first character in the top
// byte).
#pragma once

#include "QuickTimeInterface.h"

struct AVStream;

namespace QelRuntime {

constexpr QtOSType kVideoMediaType = fourCc('v', 'i', 'd', 'e');
constexpr QtOSType kMpegVideoMediaType = fourCc('m', '1', 'v', ' ');
constexpr QtOSType kSoundMediaType = fourCc('s', 'o', 'u', 'n');
constexpr QtOSType kTextMediaType = fourCc('t', 'e', 'x', 't');
constexpr QtOSType kArgbPixelFormat = 32;

// 'vide', 'm1v ' (MPEG-1/2 video in MPEG program and transport streams:
// inMpegSystemStream),
// 'soun', 'text' (subtitles), or a code of the track's own: 'tmcd' for time
// codes, 'pict' for cover art, 'meta' for other data, 'unkn' otherwise.
QtOSType mediaTypeOf(const AVStream* stream, bool inMpegSystemStream);

// The compression type of a video stream and the depth that goes with it.
// Uncompressed pictures keep QuickTime's native codes ('yuvs', '2vuy', 32,
// 'raw ') only when their bytes are laid out exactly as those codes mean.
struct VideoCode {
    QtOSType code;
    int16_t depth;
};
VideoCode videoCodeOf(const AVStream* stream);

// The format code of a sound stream ('mp4a', '.mp3', 'sowt', ...).
QtOSType soundCodeOf(const AVStream* stream);

} // namespace QelRuntime
