// The runtime support a freestanding Microsoft-ABI program needs from its
// own sources: memory functions the compiler may call, pure-call and
// floating-point markers, operator new and delete over the process heap,
// and console output through WriteFile.
#include "Freestanding.h"

extern "C" {

int _fltused = 0;

// Written a byte at a time through volatile pointers so that the compiler
// does not turn the loops back into calls to themselves.
void* memset(void* target, int value, size_t size)
{
    volatile unsigned char* bytes = static_cast<unsigned char*>(target);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<unsigned char>(value);
    return target;
}

void* memcpy(void* target, const void* source, size_t size)
{
    volatile unsigned char* to = static_cast<unsigned char*>(target);
    const volatile unsigned char* from = static_cast<const unsigned char*>(source);
    for (size_t i = 0; i < size; ++i)
        to[i] = from[i];
    return target;
}

int _purecall()
{
    Host::print("msvc_host: pure virtual call\n");
    ExitProcess(3);
}

} // extern "C"

void* operator new(size_t size)
{
    void* block = HeapAlloc(GetProcessHeap(), 0, size ? size : 1);
    if (!block) {
        Host::print("msvc_host: out of memory\n");
        ExitProcess(3);
    }
    return block;
}

void* operator new[](size_t size) { return operator new(size); }
void operator delete(void* block) noexcept
{
    if (block)
        HeapFree(GetProcessHeap(), 0, block);
}
void operator delete[](void* block) noexcept { operator delete(block); }
void operator delete(void* block, size_t) noexcept { operator delete(block); }
void operator delete[](void* block, size_t) noexcept { operator delete(block); }

namespace Host {

void print(const char* text)
{
    uint32_t written = 0;
    WriteFile(GetStdHandle(uint32_t(-11)), text, uint32_t(textLength(text)), &written, nullptr);
}

void printNumber(long long value)
{
    char digits[24];
    int at = sizeof(digits) - 1;
    digits[at] = 0;
    bool negative = value < 0;
    // 32-bit steps: a 64-bit division would need the compiler's helper routines.
    uint32_t magnitude = uint32_t(negative ? -value : value);
    do {
        digits[--at] = char('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude);
    if (negative)
        digits[--at] = '-';
    print(digits + at);
}

void printHex(uint64_t value)
{
    char digits[19] = "0x";
    for (int i = 0; i < 16; ++i)
        digits[2 + i] = "0123456789abcdef"[(value >> (60 - 4 * i)) & 0xF];
    digits[18] = 0;
    print(digits);
}

size_t textLength(const char* text)
{
    size_t length = 0;
    while (text[length])
        ++length;
    return length;
}

bool sameText(const char* a, const char* b)
{
    size_t length = textLength(a);
    return length == textLength(b) && sameBytes(a, b, length);
}

bool sameBytes(const void* a, const void* b, size_t size)
{
    const unsigned char* x = static_cast<const unsigned char*>(a);
    const unsigned char* y = static_cast<const unsigned char*>(b);
    for (size_t i = 0; i < size; ++i) {
        if (x[i] != y[i])
            return false;
    }
    return true;
}

Bytes::~Bytes()
{
    operator delete(block);
}

void Bytes::reserve(size_t size)
{
    if (size <= capacity)
        return;
    size_t grown = capacity ? capacity * 2 : 256;
    while (grown < size)
        grown *= 2;
    char* bigger = static_cast<char*>(operator new(grown));
    memcpy(bigger, block, used);
    operator delete(block);
    block = bigger;
    capacity = grown;
}

void Bytes::append(const char* bytes, size_t size)
{
    reserve(used + size + 1);
    memcpy(block + used, bytes, size);
    used += size;
}

void Bytes::append(const char* text)
{
    append(text, textLength(text));
}

void Bytes::appendByte(char byte)
{
    append(&byte, 1);
}

void Bytes::appendNumber(uint32_t value)
{
    char digits[12];
    int at = sizeof(digits);
    do {
        digits[--at] = char('0' + value % 10);
        value /= 10;
    } while (value);
    append(digits + at, sizeof(digits) - at);
}

const char* Bytes::text()
{
    reserve(used + 1);
    block[used] = 0;
    return block;
}

} // namespace Host
