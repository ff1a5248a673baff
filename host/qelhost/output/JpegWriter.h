// JPEG output, through libjpeg-turbo where the build has it.
#pragma once

#include <string>

#include "output/OutputFile.h"
#include "output/Picture.h"

namespace Qel::Cli {

// Whether this build can write JPEG files.
bool jpegAvailable();

// Writes the picture (RGB; an alpha channel is dropped) as a baseline JPEG
// of quality 90 into the output, which the caller commits. Throws
// CommandError when writing fails or the build has no JPEG.
void writeJpeg(OutputFile& out, const Picture& picture);

} // namespace Qel::Cli
