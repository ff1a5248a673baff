// PNG output, through libpng where the build has it.
#pragma once

#include <string>

#include "Picture.h"

namespace Qel::Cli {

// Whether this build can write PNG files.
bool pngAvailable();

// Writes the picture (RGB or RGBA, 8 bits) as a PNG file. Throws
// CommandError when the file cannot be written or the build has no PNG.
void writePng(const std::string& path, const Picture& picture);

} // namespace Qel::Cli
