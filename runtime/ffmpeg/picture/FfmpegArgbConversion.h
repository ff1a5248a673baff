// Converts 8-bit 4:2:0 pictures of an even width and height into ARGB
// surfaces of the same size (bytes A R G B, alpha 255), byte for byte as
// the libswscale conversion of FfmpegPictureConverter makes them, in vector
// code (FfmpegArgbRows.h): several times as fast as libswscale there.
//
// What libswscale does there, and so what this reproduces: at an even
// height it takes its table-driven C conversion (FFmpeg 5.1 has no x86
// code for ARGB), each 2 x 2 block of pixels sharing one U and V. Its
// tables give each channel as clip((K + (Y + d) x cy) >> 16), where cy and
// K scale and offset the luma for the source's range, and d, the chroma's
// part, is a whole number of luma steps from V (red), U and V (green) or
// U (blue), each rounded down on its own.
// Anything else (another layout, odd sizes) is left to the caller, and to
// libswscale.
#pragma once

#include "FfmpegArgbRows.h"
#include "FfmpegLibraries.h"

#include <cstdint>

namespace QelRuntime {

// True when the picture was converted into the ARGB rows at base, one every
// rowBytes; false when this conversion does not apply. matrix: libswscale's
// four coefficients of the source's colour matrix (sws_getCoefficients).
bool convertToArgb(const AVFrame* picture, bool fullRange, const int matrix[4], FfmpegVectors vectors, uint8_t* base,
                   int32_t rowBytes);

// At an odd width and an even height, libswscale's table-driven conversion
// (from planar 4:2:0, 4:2:0 with alpha, or 4:2:2) converts whole pairs of
// pixels and leaves the surface's last column as it was: bytes of an
// earlier picture, or whatever the memory held. After libswscale's
// conversion, this writes that column with the same arithmetic, from the
// last luma sample and its chroma; it writes nothing for other pictures.
void writeLastArgbColumn(const AVFrame* picture, bool fullRange, const int matrix[4], uint8_t* base, int32_t rowBytes);

} // namespace QelRuntime
