#include <unistd.h>

#include <algorithm>

#include "platform/Terminal.h"

namespace Qel::Cli {

bool standardErrorIsTerminal()
{
    return isatty(STDERR_FILENO) == 1;
}

std::vector<std::string> programArguments(int argc, char** argv)
{
    return std::vector<std::string>(argv + std::min(argc, 1), argv + argc);
}

void prepareConsole() {}

} // namespace Qel::Cli
