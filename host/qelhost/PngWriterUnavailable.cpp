// Builds without libpng (the 32-bit Windows build) write no PNG files.
#include "CommandError.h"
#include "PngWriter.h"

namespace Qel::Cli {

bool pngAvailable()
{
    return false;
}

void writePng(OutputFile&, const Picture&)
{
    throw CommandError(kExitNotAvailable, "PNG output is not available in this build");
}

} // namespace Qel::Cli
