#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <io.h>

#include "platform/Terminal.h"
#include "support/TextConversion.h"

namespace Qel::Cli {

bool standardErrorIsTerminal()
{
    return _isatty(_fileno(stderr)) != 0;
}

std::vector<std::string> programArguments(int, char**)
{
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 1; wide && i < count; ++i)
        arguments.push_back(toUtf8(std::u16string(wide[i], wide[i] + wcslen(wide[i]))));
    LocalFree(wide);
    return arguments;
}

namespace {

UINT userCodePage = 0;

void restoreCodePage()
{
    SetConsoleOutputCP(userCodePage);
}

} // namespace

// The code page belongs to the console, which outlives qelhost: the user's
// is put back at exit.
void prepareConsole()
{
    userCodePage = GetConsoleOutputCP();
    if (userCodePage == 0 || userCodePage == CP_UTF8)
        return;
    SetConsoleOutputCP(CP_UTF8);
    std::atexit(restoreCodePage);
}

} // namespace Qel::Cli
