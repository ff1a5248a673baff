// The part of <stdio.h> that the example host uses, from msvcrt.dll
// (msvcrt.def) where no Microsoft C runtime is installed.
#pragma once

extern "C" __declspec(dllimport) int __cdecl printf(const char* format, ...);
