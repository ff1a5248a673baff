#include "support/TextConversion.h"

#include <algorithm>
#include <limits>
#include <new>
#include <vector>

namespace Qel {

namespace {

constexpr uint32_t kMaxCodePoint = 0x10FFFF;

bool startsWithBom(const unsigned char* in, uint32_t inLength)
{
    return inLength >= 3 && in[0] == 0xEF && in[1] == 0xBB && in[2] == 0xBF;
}

// The number of continuation bytes that follow a lead byte, and the lead's
// payload bits; -1 for a byte that cannot start a sequence.
int continuationCount(unsigned char lead, uint32_t& codePoint)
{
    if (lead < 0x80) {
        codePoint = lead;
        return 0;
    }
    if (lead < 0xC0)
        return -1;
    if (lead < 0xE0) {
        codePoint = lead & 0x1Fu;
        return 1;
    }
    if (lead < 0xF0) {
        codePoint = lead & 0x0Fu;
        return 2;
    }
    if (lead < 0xF8) {
        codePoint = lead & 0x07u;
        return 3;
    }
    return -1;
}

// Appends codePoint to out as one unit or a surrogate pair; false when it is
// out of range or does not fit.
bool storeUtf16(uint32_t codePoint, char16_t* out, uint32_t outCapacity, uint32_t& written)
{
    if (codePoint <= 0xFFFF) {
        if (written == outCapacity)
            return false;
        out[written++] = static_cast<char16_t>(codePoint);
        return true;
    }
    if (codePoint > kMaxCodePoint || written + 1 >= outCapacity)
        return false;
    const uint32_t offset = codePoint - 0x10000;
    out[written++] = static_cast<char16_t>(0xD800 | (offset >> 10));
    out[written++] = static_cast<char16_t>(0xDC00 | (codePoint & 0x3FF));
    return true;
}

bool putByte(unsigned char byte, unsigned char* out, uint32_t outCapacity, uint32_t& written)
{
    if (written >= outCapacity)
        return false;
    out[written++] = byte;
    return true;
}

bool storeUtf8(uint32_t codePoint, unsigned char* out, uint32_t outCapacity, uint32_t& written)
{
    int continuations;
    unsigned char lead;
    if (codePoint < 0x80) {
        return putByte(static_cast<unsigned char>(codePoint), out, outCapacity, written);
    } else if (codePoint < 0x800) {
        continuations = 1;
        lead = static_cast<unsigned char>(0xC0 | (codePoint >> 6));
    } else if (codePoint < 0x10000) {
        continuations = 2;
        lead = static_cast<unsigned char>(0xE0 | (codePoint >> 12));
    } else {
        continuations = 3;
        lead = static_cast<unsigned char>(0xF0 | (codePoint >> 18));
    }
    if (!putByte(lead, out, outCapacity, written))
        return false;
    for (int shift = 6 * (continuations - 1); shift >= 0; shift -= 6) {
        const auto next = static_cast<unsigned char>(0x80 | ((codePoint >> shift) & 0x3F));
        if (!putByte(next, out, outCapacity, written))
            return false;
    }
    return true;
}

} // namespace

int32_t utf8ToUtf16(const unsigned char* in, uint32_t inLength, char16_t* out, uint32_t outCapacity,
                    bool* hadBom)
{
    const bool bom = startsWithBom(in, inLength);
    if (hadBom)
        *hadBom = bom;
    uint32_t position = bom ? 3 : 0;
    uint32_t written = 0;
    while (position < inLength) {
        uint32_t codePoint = 0;
        const int continuations = continuationCount(in[position++], codePoint);
        if (continuations < 0)
            return -1;
        for (int i = 0; i < continuations; ++i) {
            if (position >= inLength || (in[position] & 0xC0) != 0x80)
                return -1;
            codePoint = (codePoint << 6) | (in[position++] & 0x3Fu);
        }
        if (!storeUtf16(codePoint, out, outCapacity, written))
            return -1;
    }
    return static_cast<int32_t>(written);
}

int32_t utf16ToUtf8(const char16_t* in, uint32_t inLength, unsigned char* out, uint32_t outCapacity,
                    bool writeBom)
{
    uint32_t written = 0;
    // The mark's bytes are checked against the capacity like every other
    // byte, so a caller that gives too little room gets -1, not an overrun.
    if (writeBom) {
        for (unsigned char byte : {0xEF, 0xBB, 0xBF}) {
            if (!putByte(byte, out, outCapacity, written))
                return -1;
        }
    }
    for (uint32_t i = 0; i < inLength; ++i) {
        uint32_t codePoint = in[i];
        if (codePoint >= 0xD800 && codePoint <= 0xDBFF) {
            if (i + 1 >= inLength || in[i + 1] < 0xDC00 || in[i + 1] > 0xDFFF)
                return -1;
            codePoint = (((codePoint & 0x3FF) << 10) | (in[++i] & 0x3FFu)) + 0x10000;
        }
        if (!storeUtf8(codePoint, out, outCapacity, written))
            return -1;
    }
    return static_cast<int32_t>(written);
}

std::u16string toWide(const std::string& utf8)
{
    // The conversion counts in 32 bits: a text whose buffer could not be
    // sized in 32 bits is refused as an allocation failure.
    const size_t length = utf8.size();
    if (length >= std::numeric_limits<uint32_t>::max() / 2)
        throw std::bad_alloc();
    std::vector<char16_t> units(length + 1, 0);
    const int32_t count = utf8ToUtf16(reinterpret_cast<const unsigned char*>(utf8.data()),
                                      static_cast<uint32_t>(length), units.data(),
                                      static_cast<uint32_t>(length), nullptr);
    if (count < 0)
        return {};
    const auto end = std::find(units.begin(), units.begin() + count, u'\0');
    return std::u16string(units.begin(), end);
}

std::string toUtf8(const std::u16string& wide)
{
    const size_t length = wide.size();
    if (length >= std::numeric_limits<uint32_t>::max() / 3)
        throw std::bad_alloc();
    std::vector<unsigned char> bytes(3 * length + 1, 0);
    const int32_t count = utf16ToUtf8(wide.data(), static_cast<uint32_t>(length), bytes.data(),
                                      static_cast<uint32_t>(3 * length), false);
    if (count < 0)
        return {};
    const auto end = std::find(bytes.begin(), bytes.begin() + count, 0);
    return std::string(bytes.begin(), end);
}

} // namespace Qel
