// Feeds arbitrary bytes to the four text conversions. Checks that no
// conversion writes past the capacity it is given (a canary follows every
// buffer, and the sanitizer watches the rest), and that what decodes also
// encodes back: strictly valid UTF-8 to the same bytes, any UTF-16 without
// a lone high surrogate to the same units.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/TextConversion.h"

namespace {

constexpr char16_t kUnitCanary = 0xCAFE;
constexpr unsigned char kByteCanary = 0xA5;
constexpr size_t kCanaryLength = 4;

void require(bool condition)
{
    if (!condition)
        std::abort();
}

// Strictly valid UTF-8: shortest forms only, no surrogates, nothing above U+10FFFF.
bool isStrictUtf8(const unsigned char* bytes, size_t length)
{
    size_t i = 0;
    while (i < length) {
        const unsigned char lead = bytes[i];
        size_t count;
        uint32_t codePoint;
        uint32_t minimum;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if (lead >= 0xC0 && lead < 0xE0) {
            count = 1, codePoint = lead & 0x1F, minimum = 0x80;
        } else if (lead >= 0xE0 && lead < 0xF0) {
            count = 2, codePoint = lead & 0x0F, minimum = 0x800;
        } else if (lead >= 0xF0 && lead < 0xF8) {
            count = 3, codePoint = lead & 0x07, minimum = 0x10000;
        } else {
            return false;
        }
        if (i + count >= length)
            return false;
        for (size_t k = 1; k <= count; ++k) {
            if ((bytes[i + k] & 0xC0) != 0x80)
                return false;
            codePoint = (codePoint << 6) | (bytes[i + k] & 0x3F);
        }
        if (codePoint < minimum || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
            return false;
        i += count + 1;
    }
    return true;
}

bool hasLoneHighSurrogate(const std::u16string& units)
{
    for (size_t i = 0; i < units.size(); ++i) {
        if (units[i] >= 0xD800 && units[i] <= 0xDBFF) {
            if (i + 1 == units.size() || units[i + 1] < 0xDC00 || units[i + 1] > 0xDFFF)
                return true;
            ++i;
        }
    }
    return false;
}

// Decodes into a buffer of exactly capacity units followed by a canary.
int32_t decode(const unsigned char* bytes, size_t length, uint32_t capacity, std::u16string& units,
               bool& hadBom)
{
    std::vector<char16_t> out(capacity + kCanaryLength, kUnitCanary);
    const int32_t result = Qel::utf8ToUtf16(bytes, static_cast<uint32_t>(length), out.data(), capacity,
                                            &hadBom);
    for (size_t k = capacity; k < out.size(); ++k)
        require(out[k] == kUnitCanary);
    require(result >= -1 && result <= static_cast<int32_t>(capacity));
    units.assign(out.data(), result > 0 ? static_cast<size_t>(result) : 0);
    return result;
}

int32_t encode(const std::u16string& units, uint32_t capacity, bool writeBom, std::string& bytes)
{
    std::vector<unsigned char> out(capacity + kCanaryLength, kByteCanary);
    const int32_t result = Qel::utf16ToUtf8(units.data(), static_cast<uint32_t>(units.size()), out.data(),
                                            capacity, writeBom);
    for (size_t k = capacity; k < out.size(); ++k)
        require(out[k] == kByteCanary);
    require(result >= -1 && result <= static_cast<int32_t>(capacity));
    bytes.assign(reinterpret_cast<const char*>(out.data()), result > 0 ? static_cast<size_t>(result) : 0);
    return result;
}

void checkUtf8Input(const unsigned char* bytes, size_t length, uint32_t capacity)
{
    std::u16string units;
    bool hadBom = false;
    if (decode(bytes, length, capacity, units, hadBom) < 0 || hasLoneHighSurrogate(units))
        return;
    std::string encoded;
    require(encode(units, static_cast<uint32_t>(3 * units.size() + 3), hadBom, encoded) >= 0);
    if (isStrictUtf8(bytes, length))
        require(encoded == std::string(reinterpret_cast<const char*>(bytes), length));
    // An over-long U+FEFF at the start re-encodes as a byte-order mark.
    if (!hadBom && !units.empty() && units[0] == 0xFEFF)
        return;
    std::u16string again;
    bool againBom = false;
    require(decode(reinterpret_cast<const unsigned char*>(encoded.data()), encoded.size(),
                   static_cast<uint32_t>(units.size()), again, againBom) >= 0);
    require(again == units && againBom == hadBom);
}

void checkUtf16Input(const std::u16string& units, uint32_t capacity, bool writeBom)
{
    std::string encoded;
    const int32_t result = encode(units, capacity, writeBom, encoded);
    if (hasLoneHighSurrogate(units)) {
        require(result == -1);
        return;
    }
    if (result < 0)
        return;
    // With the mark written, a leading U+FEFF of the text survives decoding.
    if (writeBom) {
        std::u16string decoded;
        bool hadBom = false;
        require(decode(reinterpret_cast<const unsigned char*>(encoded.data()), encoded.size(),
                       static_cast<uint32_t>(units.size()), decoded, hadBom) >= 0);
        require(hadBom && decoded == units);
    }
}

void checkWholeTexts(const std::string& text, const std::u16string& units)
{
    const std::u16string wide = Qel::toWide(text);
    require(wide.find(u'\0') == std::u16string::npos);
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const bool bom = text.size() >= 3 && text.compare(0, 3, "\xEF\xBB\xBF") == 0;
    if (isStrictUtf8(bytes, text.size()) && text.find('\0') == std::string::npos)
        require(Qel::toUtf8(wide) == text.substr(bom ? 3 : 0));
    const std::string narrow = Qel::toUtf8(units);
    require(narrow.find('\0') == std::string::npos);
    if (!hasLoneHighSurrogate(units) && units.find(u'\0') == std::u16string::npos
        && narrow.compare(0, 3, "\xEF\xBB\xBF") != 0)
        require(Qel::toWide(narrow) == units);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    // The first two bytes choose the capacities; the rest is the text.
    const uint32_t capacity = data[0];
    const bool writeBom = (data[1] & 1) != 0;
    const unsigned char* text = data + 2;
    const size_t length = size - 2;

    std::u16string units(length / 2, u'\0');
    for (size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<char16_t>(text[2 * i] | (text[2 * i + 1] << 8));

    checkUtf8Input(text, length, capacity);
    checkUtf16Input(units, capacity, writeBom);
    checkWholeTexts(std::string(reinterpret_cast<const char*>(text), length), units);
    return 0;
}
