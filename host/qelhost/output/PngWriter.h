// PNG output, through libpng (every build links it).
#pragma once

#include <string>

#include "output/OutputFile.h"
#include "output/Picture.h"

namespace Qel::Cli {

// Writes the picture (RGB or RGBA, 8 bits) as PNG into the output, which the
// caller commits. Throws CommandError when writing fails.
void writePng(OutputFile& out, const Picture& picture);

} // namespace Qel::Cli
