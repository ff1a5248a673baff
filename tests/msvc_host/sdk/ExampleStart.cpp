// The C runtime's start for the example host: the command line split into
// arguments, then wmain, whose result is the exit code. With a Microsoft C
// runtime this is the runtime's own wmainCRTStartup.
#include <windows.h>

extern "C" {
__declspec(dllimport) wchar_t* __stdcall GetCommandLineW();
__declspec(dllimport) wchar_t** __stdcall CommandLineToArgvW(const wchar_t* line, int* count);
__declspec(dllimport) __declspec(noreturn) void __stdcall ExitProcess(unsigned code);
}

int wmain(int argc, wchar_t** argv);

extern "C" void exampleStart()
{
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    ExitProcess(arguments ? wmain(count, arguments) : 1);
}
