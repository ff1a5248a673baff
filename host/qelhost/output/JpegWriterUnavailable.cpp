// Builds without libjpeg (the 32-bit Windows build) write no JPEG files.
#include "output/JpegWriter.h"
#include "report/CommandError.h"

namespace Qel::Cli {

bool jpegAvailable()
{
    return false;
}

void writeJpeg(OutputFile&, const Picture&)
{
    throw CommandError(kExitNotAvailable, "JPEG output is not available in this build");
}

} // namespace Qel::Cli
