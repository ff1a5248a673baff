#include <cstdio>
#include <io.h>

#include "Progress.h"

namespace Qel::Cli {

bool standardErrorIsTerminal()
{
    return _isatty(_fileno(stderr)) != 0;
}

} // namespace Qel::Cli
