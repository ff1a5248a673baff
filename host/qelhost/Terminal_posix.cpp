#include <unistd.h>

#include "Progress.h"

namespace Qel::Cli {

bool standardErrorIsTerminal()
{
    return isatty(STDERR_FILENO) == 1;
}

} // namespace Qel::Cli
