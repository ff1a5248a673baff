// PNG output, through libpng where the build has it.
#pragma once

#include <string>

#include "OutputFile.h"
#include "Picture.h"

namespace Qel::Cli {

// Whether this build can write PNG files.
bool pngAvailable();

// Writes the picture (RGB or RGBA, 8 bits) as PNG into the output, which the
// caller commits. Throws CommandError when writing fails or the build has
// no PNG.
void writePng(OutputFile& out, const Picture& picture);

} // namespace Qel::Cli
