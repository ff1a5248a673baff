#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/TextConversion.h"

namespace Qel {
namespace {

// The units written by utf8ToUtf16 (followed by the result), with a canary
// after the capacity that must survive.
struct Decoded {
    int32_t result;
    std::u16string units;
    bool hadBom;
};

Decoded decode(const std::vector<unsigned char>& bytes, uint32_t capacity)
{
    std::vector<char16_t> out(capacity + 1, u'\xCAFE');
    bool hadBom = false;
    const int32_t result = utf8ToUtf16(bytes.data(), static_cast<uint32_t>(bytes.size()), out.data(),
                                       capacity, &hadBom);
    EXPECT_EQ(out[capacity], u'\xCAFE') << "wrote past the capacity";
    const size_t written = result < 0 ? 0 : static_cast<size_t>(result);
    return {result, std::u16string(out.data(), written), hadBom};
}

struct Encoded {
    int32_t result;
    std::vector<unsigned char> bytes;
};

Encoded encode(const std::u16string& units, uint32_t capacity, bool writeBom = false)
{
    std::vector<unsigned char> out(capacity + 1, 0xA5);
    const int32_t result = utf16ToUtf8(units.data(), static_cast<uint32_t>(units.size()), out.data(),
                                       capacity, writeBom);
    EXPECT_EQ(out[capacity], 0xA5) << "wrote past the capacity";
    const size_t written = result < 0 ? 0 : static_cast<size_t>(result);
    return {result, std::vector<unsigned char>(out.begin(), out.begin() + written)};
}

using Bytes = std::vector<unsigned char>;

TEST(Utf8ToUtf16, ByteOrderMarkIsSkippedAndReported)
{
    const Decoded bomOnly = decode({0xEF, 0xBB, 0xBF}, 4);
    EXPECT_EQ(bomOnly.result, 0);
    EXPECT_TRUE(bomOnly.hadBom);

    const Decoded withText = decode({0xEF, 0xBB, 0xBF, 'a'}, 4);
    EXPECT_EQ(withText.units, u"a");
    EXPECT_TRUE(withText.hadBom);

    const Decoded plain = decode({'a', 'b'}, 4);
    EXPECT_EQ(plain.units, u"ab");
    EXPECT_FALSE(plain.hadBom);

    // Only a leading mark counts; a later one is the character U+FEFF.
    EXPECT_EQ(decode({'a', 0xEF, 0xBB, 0xBF}, 4).units, u"a\uFEFF");
    EXPECT_EQ(decode({}, 0).result, 0);
}

TEST(Utf8ToUtf16, DecodesEverySequenceLength)
{
    EXPECT_EQ(decode({0x7F, 0xC2, 0x80, 0xDF, 0xBF}, 8).units, u"\u007F\u0080\u07FF");
    EXPECT_EQ(decode({0xE0, 0xA0, 0x80, 0xEF, 0xBF, 0xBF}, 8).units, u"\u0800\uFFFF");
    EXPECT_EQ(decode({0xF0, 0x9F, 0x98, 0x80}, 8).units, u"\xD83D\xDE00");
    EXPECT_EQ(decode({0xF4, 0x8F, 0xBF, 0xBF}, 8).units, u"\xDBFF\xDFFF");
}

TEST(Utf8ToUtf16, AcceptsOverlongFormsAndEncodedSurrogatesAsTheyDecode)
{
    EXPECT_EQ(decode({0xC0, 0x80}, 4).units, std::u16string(1, u'\0'));
    EXPECT_EQ(decode({0xE0, 0x80, 0xAF}, 4).units, u"/");
    EXPECT_EQ(decode({0xED, 0xA0, 0x80}, 4).units, u"\xD800");
}

TEST(Utf8ToUtf16, RejectsMalformedInput)
{
    const std::vector<Bytes> malformed = {
        {0x80},                    // continuation byte without a lead
        {'a', 0xBF},               // the same after valid text
        {0xF8, 0x88, 0x80, 0x80},  // five-byte lead
        {0xFF},
        {0xC2},                    // sequence cut by the end of input
        {0xE2, 0x82},
        {0xF0, 0x9F, 0x98},
        {0xC2, 'a'},               // continuation of the wrong form
        {0xE2, 0xC2, 0x80},
        {0xF4, 0x90, 0x80, 0x80},  // above U+10FFFF
        {0xF7, 0xBF, 0xBF, 0xBF},
    };
    for (const Bytes& bytes : malformed)
        EXPECT_EQ(decode(bytes, 8).result, -1) << "input of " << bytes.size() << " bytes";
}

TEST(Utf8ToUtf16, FailsWhenTheUnitsDoNotFit)
{
    EXPECT_EQ(decode({'a', 'b'}, 2).result, 2);
    EXPECT_EQ(decode({'a', 'b', 'c'}, 2).result, -1);
    // A pair needs both units free even though one unit would fit.
    EXPECT_EQ(decode({0xF0, 0x9F, 0x98, 0x80}, 1).result, -1);
    EXPECT_EQ(decode({'a', 0xF0, 0x9F, 0x98, 0x80}, 2).result, -1);
    EXPECT_EQ(decode({'a', 0xF0, 0x9F, 0x98, 0x80}, 3).units, u"a\xD83D\xDE00");
    EXPECT_EQ(decode({'a'}, 0).result, -1);
}

TEST(Utf16ToUtf8, EncodesEveryLengthAndPairs)
{
    EXPECT_EQ(encode(u"\u007F\u0080\u07FF", 8).bytes, (Bytes{0x7F, 0xC2, 0x80, 0xDF, 0xBF}));
    EXPECT_EQ(encode(u"\u0800\uFFFF", 8).bytes, (Bytes{0xE0, 0xA0, 0x80, 0xEF, 0xBF, 0xBF}));
    EXPECT_EQ(encode(u"\xD83D\xDE00", 8).bytes, (Bytes{0xF0, 0x9F, 0x98, 0x80}));
    EXPECT_EQ(encode(u"\xDBFF\xDFFF", 8).bytes, (Bytes{0xF4, 0x8F, 0xBF, 0xBF}));
    // A lone low surrogate is encoded as it stands.
    EXPECT_EQ(encode(u"\xDC00", 8).bytes, (Bytes{0xED, 0xB0, 0x80}));
}

TEST(Utf16ToUtf8, RejectsHighSurrogateWithoutPartner)
{
    EXPECT_EQ(encode(u"\xD83D", 8).result, -1);
    EXPECT_EQ(encode(u"\xD83D" u"a", 8).result, -1);
    EXPECT_EQ(encode(u"\xD83D\xD83D\xDE00", 8).result, -1);
}

TEST(Utf16ToUtf8, NeverWritesPastTheCapacity)
{
    EXPECT_EQ(encode(u"ab", 2).result, 2);
    EXPECT_EQ(encode(u"abc", 2).result, -1);
    EXPECT_EQ(encode(u"\u00E9", 1).result, -1);
    EXPECT_EQ(encode(u"\u20AC", 2).result, -1);
    EXPECT_EQ(encode(u"\xD83D\xDE00", 3).result, -1);
    EXPECT_EQ(encode(u"a", 4, true).bytes, (Bytes{0xEF, 0xBB, 0xBF, 'a'}));
    // The byte-order mark counts against the capacity like any other byte.
    EXPECT_EQ(encode(u"", 2, true).result, -1);
    EXPECT_EQ(encode(u"a", 3, true).result, -1);
}

TEST(ToWideAndToUtf8, ConvertWholeTextsAndRoundTrip)
{
    const std::string utf8 = "/tmp/\xC3\xA9t\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80.mov";
    const std::u16string wide = u"/tmp/\u00E9t\u00E9 \u20AC \xD83D\xDE00.mov";
    EXPECT_EQ(toWide(utf8), wide);
    EXPECT_EQ(toUtf8(wide), utf8);
    EXPECT_EQ(toWide(""), u"");
    EXPECT_EQ(toUtf8(u""), "");
    // The widest case: every unit takes three bytes.
    EXPECT_EQ(toUtf8(u"\uFFFF\uFFFF"), "\xEF\xBF\xBF\xEF\xBF\xBF");
}

TEST(ToWideAndToUtf8, DropTheMarkAndStopAtTheFirstNul)
{
    EXPECT_EQ(toWide("\xEF\xBB\xBF" "abc"), u"abc");
    EXPECT_EQ(toWide(std::string("ab\0cd", 5)), u"ab");
    EXPECT_EQ(toWide("ab\xC0\x80" "cd"), u"ab");
    EXPECT_EQ(toUtf8(std::u16string(u"ab\0cd", 5)), "ab");
}

// Malformed text becomes the empty string, which names no file.
TEST(ToWideAndToUtf8, MalformedInputGivesTheEmptyString)
{
    EXPECT_EQ(toWide("abc\x80"), u"");
    EXPECT_EQ(toWide("abc\xE2\x82"), u"");
    EXPECT_EQ(toUtf8(u"abc\xD800"), "");
    EXPECT_EQ(toUtf8(u"\xD800" u"abc"), "");
}

} // namespace
} // namespace Qel
