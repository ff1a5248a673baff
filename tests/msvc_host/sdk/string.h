// The part of <string.h> that the example host uses, from msvcrt.dll.
#pragma once

#include <stddef.h>

extern "C" __declspec(dllimport) size_t __cdecl strlen(const char* text);
