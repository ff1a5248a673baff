#include "MovieFile.h"

namespace Host {

namespace {

constexpr uint32_t kGenericWrite = 0x40000000u;
constexpr uint32_t kCreateNew = 1;
constexpr uint32_t kNormalAttributes = 0x80;

void appendWide(wchar_t* target, uint32_t capacity, const wchar_t* text)
{
    uint32_t at = 0;
    while (target[at])
        ++at;
    for (uint32_t i = 0; text[i] && at + 1 < capacity; ++i)
        target[at++] = text[i];
    target[at] = 0;
}

void appendWideNumber(wchar_t* target, uint32_t capacity, uint32_t value)
{
    wchar_t digits[12];
    int at = 11;
    digits[at] = 0;
    do {
        digits[--at] = wchar_t(L'0' + value % 10);
        value /= 10;
    } while (value);
    appendWide(target, capacity, digits + at);
}

bool isUnreserved(unsigned char byte)
{
    return (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9') ||
           byte == '-' || byte == '.' || byte == '_' || byte == '~' || byte == '/' || byte == ':';
}

} // namespace

void appendUtf8(Bytes& out, const wchar_t* text)
{
    for (; *text; ++text) {
        uint32_t unit = uint16_t(*text);
        if (unit < 0x80) {
            out.appendByte(char(unit));
        } else if (unit < 0x800) {
            out.appendByte(char(0xC0 | (unit >> 6)));
            out.appendByte(char(0x80 | (unit & 0x3F)));
        } else {
            out.appendByte(char(0xE0 | (unit >> 12)));
            out.appendByte(char(0x80 | ((unit >> 6) & 0x3F)));
            out.appendByte(char(0x80 | (unit & 0x3F)));
        }
    }
}

void appendFileUrl(Bytes& out, const wchar_t* path)
{
    Bytes utf8;
    appendUtf8(utf8, path);
    out.append("file:///");
    const char* bytes = utf8.text();
    for (size_t i = 0; i < utf8.size(); ++i) {
        unsigned char byte = static_cast<unsigned char>(bytes[i]);
        if (byte == '\\') {
            out.appendByte('/');
        } else if (isUnreserved(byte)) {
            out.appendByte(char(byte));
        } else {
            out.appendByte('%');
            out.appendByte("0123456789ABCDEF"[byte >> 4]);
            out.appendByte("0123456789ABCDEF"[byte & 0xF]);
        }
    }
}

TemporaryMovie::TemporaryMovie(Bytes& document)
{
    const uint32_t capacity = sizeof(fullPath) / sizeof(fullPath[0]);
    if (GetTempPathW(capacity - 40, fullPath) == 0)
        return;
    appendWide(fullPath, capacity, L"msvc_host-");
    appendWideNumber(fullPath, capacity, GetCurrentProcessId());
    static uint32_t moviesMade = 0;  // one process may write several
    appendWide(fullPath, capacity, L"-");
    appendWideNumber(fullPath, capacity, ++moviesMade);
    appendWide(fullPath, capacity, L".qelmovie");
    void* file = CreateFileW(fullPath, kGenericWrite, 0, nullptr, kCreateNew, kNormalAttributes, nullptr);
    if (file == reinterpret_cast<void*>(-1))
        return;
    uint32_t written = 0;
    ok = WriteFile(file, document.text(), uint32_t(document.size()), &written, nullptr) &&
         written == document.size();
    bytes = written;
    CloseHandle(file);
    if (!ok)
        DeleteFileW(fullPath);
}

TemporaryMovie::~TemporaryMovie()
{
    if (ok)
        DeleteFileW(fullPath);
}

} // namespace Host
