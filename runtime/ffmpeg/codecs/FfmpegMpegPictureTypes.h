// The coding types of MPEG-1/2 pictures and MPEG-4 Part 2 video object
// planes, read from a packet's bytes: whether it holds a B picture, which
// is never referenced, so that the B marks alone give the presentation
// order of pictures whose container stores none (AVI, some pictures of an
// MPEG program stream).
#pragma once

#include "FfmpegLibraries.h"

#include <cstdint>

namespace QelRuntime {

// Whether the codec's B pictures are shown as they are decoded, any other
// picture when the next non-B picture is decoded: MPEG-1/2 and MPEG-4 Part 2.
bool showsBidirectionalAsDecoded(AVCodecID codec);

// Whether the first picture header in the bytes is a B picture's; false for
// any other codec than showsBidirectionalAsDecoded's.
bool isBidirectionalPicture(AVCodecID codec, const uint8_t* data, int size);

} // namespace QelRuntime
