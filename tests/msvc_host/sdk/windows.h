// The part of the Windows SDK's <windows.h> that the example host
// (docs/example-host) uses, for its build here, where there is no SDK: the
// same declarations, imported through kernel32.def.
#pragma once

typedef unsigned long DWORD;
typedef struct HINSTANCE__* HMODULE;
typedef int(__stdcall* FARPROC)();

#define MAX_PATH 260
#define CP_UTF8 65001

extern "C" {
__declspec(dllimport) HMODULE __stdcall LoadLibraryW(const wchar_t* fileName);
__declspec(dllimport) FARPROC __stdcall GetProcAddress(HMODULE module, const char* name);
__declspec(dllimport) int __stdcall FreeLibrary(HMODULE module);
__declspec(dllimport) DWORD __stdcall GetFullPathNameW(const wchar_t* name, DWORD size, wchar_t* buffer,
                                                       wchar_t** filePart);
__declspec(dllimport) int __stdcall WideCharToMultiByte(unsigned codePage, DWORD flags, const wchar_t* text,
                                                        int length, char* out, int capacity,
                                                        const char* defaultChar, int* usedDefault);
}
