// What a host built without any C runtime needs: fixed-width integers, the
// few kernel32 functions it calls (imported through kernel32.def), console
// output and a little text handling.
#pragma once

#include <stddef.h>
#include <stdint.h>

extern "C" {
void* __stdcall GetStdHandle(uint32_t which);
int __stdcall WriteFile(void* file, const void* bytes, uint32_t size, uint32_t* written, void* overlapped);
__declspec(noreturn) void __stdcall ExitProcess(uint32_t code);
void* __stdcall LoadLibraryW(const wchar_t* name);
void* __stdcall GetProcAddress(void* module, const char* name);
int __stdcall FreeLibrary(void* module);
void* __stdcall GetProcessHeap();
void* __stdcall HeapAlloc(void* heap, uint32_t flags, size_t size);
int __stdcall HeapFree(void* heap, uint32_t flags, void* block);
const wchar_t* __stdcall GetCommandLineW();
void* __stdcall VirtualAlloc(void* address, size_t size, uint32_t type, uint32_t protect);
int __stdcall VirtualFree(void* address, size_t size, uint32_t type);
void* __stdcall CreateFileW(const wchar_t* name, uint32_t access, uint32_t share, void* security,
                            uint32_t disposition, uint32_t attributes, void* templateFile);
int __stdcall CloseHandle(void* handle);
int __stdcall DeleteFileW(const wchar_t* name);
uint32_t __stdcall GetTempPathW(uint32_t size, wchar_t* buffer);
uint32_t __stdcall GetFullPathNameW(const wchar_t* name, uint32_t size, wchar_t* buffer, wchar_t** filePart);
uint32_t __stdcall GetCurrentProcessId();
}

namespace Host {

// Console output on standard output.
void print(const char* text);
void printNumber(long long value);
void printHex(uint64_t value);

size_t textLength(const char* text);
bool sameText(const char* a, const char* b);
bool sameBytes(const void* a, const void* b, size_t size);

// A growable byte buffer over the process heap, for movie documents and URLs.
class Bytes {
public:
    Bytes() = default;
    ~Bytes();
    Bytes(const Bytes&) = delete;
    Bytes& operator=(const Bytes&) = delete;

    void append(const char* text);
    void append(const char* bytes, size_t size);
    void appendByte(char byte);
    void appendNumber(uint32_t value);
    // The bytes followed by a 0, so that they read as text.
    const char* text();
    size_t size() const { return used; }

private:
    void reserve(size_t size);

    char* block = nullptr;
    size_t used = 0;
    size_t capacity = 0;
};

} // namespace Host
