// What qelhost takes from the console it runs in (Terminal_posix.cpp,
// Terminal_win32.cpp).
#pragma once

#include <string>
#include <vector>

namespace Qel::Cli {

// The program's arguments after its name, as UTF-8. On Windows they are
// read as wide text from the process's command line, so that any file
// name arrives whole whatever the console's code page.
std::vector<std::string> programArguments(int argc, char** argv);

// Whether standard error is a terminal, where a progress line may be drawn.
bool standardErrorIsTerminal();

// Makes the console show the UTF-8 that qelhost prints, until qelhost
// exits (Windows); nothing elsewhere.
void prepareConsole();

} // namespace Qel::Cli
