#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "PlatformTestSupport.h"
#include "support/FileUrl.h"
#include "support/Platform.h"
#include "support/TextConversion.h"

namespace Qel {
namespace {

constexpr uint32_t kCapacity = 260;

struct Conversion {
    int32_t code;
    std::u16string path;
};

const Conversion kInvalid{kUrlInvalid, u""};
const Conversion kNoRoom{kUrlNoRoom, u""};

// One input, what the POSIX rules make of it, what the Windows shell's
// conversion makes of it (as the Wine that runs the tests implements it),
// and why the two differ where they do.
struct UrlCase {
    std::u16string url;
    Conversion posix;
    Conversion windows;
    const char* differsBecause;
};

// The host's locations are UTF-8, so the POSIX rules decode escaped UTF-8.
const char* const kBytewiseEscapes =
    "the Windows conversion turns every escaped byte into one unit, POSIX decodes escaped UTF-8";

std::u16string repeated(char16_t unit, size_t count)
{
    return std::u16string(count, unit);
}

std::vector<UrlCase> urlTable()
{
    std::vector<UrlCase> table = {
        {u"file:///home/a%20b.mov", {0, u"/home/a b.mov"}, {0, u"\\home\\a b.mov"}, nullptr},
        {u"file:///home/a b.mov", {0, u"/home/a b.mov"}, {0, u"\\home\\a b.mov"}, nullptr},
        {u"file:///home/%C3%A9t%C3%A9.mov", {0, u"/home/\u00E9t\u00E9.mov"},
         {0, u"\\home\\\u00C3\u00A9t\u00C3\u00A9.mov"}, kBytewiseEscapes},
        {u"file:///home/%F0%9F%98%80.mov", {0, u"/home/\xD83D\xDE00.mov"},
         {0, u"\\home\\\u00F0\u009F\u0098\u0080.mov"}, kBytewiseEscapes},
        {u"file:///home/\u00E9.mov", {0, u"/home/\u00E9.mov"}, {0, u"\\home\\\u00E9.mov"}, nullptr},
        {u"FILE:///home/a", {0, u"/home/a"}, {0, u"\\home\\a"}, nullptr},
        {u"file:/home/a", {0, u"/home/a"}, {0, u"\\home\\a"}, nullptr},
        {u"file:///", {0, u"/"}, {0, u"\\"}, nullptr},
        {u"file:///home/a%zz%2", {0, u"/home/a%zz%2"}, {0, u"\\home\\a%zz%2"}, nullptr},
        {u"file:///home/a#b?c", {0, u"/home/a#b?c"}, {0, u"\\home\\a#b?c"}, nullptr},
        {u"file:///home/a%2Fb", {0, u"/home/a/b"}, {0, u"\\home\\a/b"}, nullptr},
        {u"http://host/a.mov", kInvalid, kInvalid, nullptr},
        {u"dir/a.mov", kInvalid, kInvalid, nullptr},
        {u"C:\\dir\\a.mov", kInvalid, kInvalid, nullptr},
        {u"/home/a.mov", kInvalid, kInvalid, nullptr},
        {u"file:///C:/dir/a%20b.mov", {0, u"/C:/dir/a b.mov"}, {0, u"C:\\dir\\a b.mov"},
         "a drive letter means nothing on POSIX: the path stays as the URL writes it"},
        {u"file://localhost/C:/x", {0, u"/C:/x"}, {0, u"C:\\x"}, "a drive letter, as above"},
        {u"file://LOCALHOST/C:/x", {0, u"/C:/x"}, {0, u"C:\\x"}, "a drive letter, as above"},
        {u"file:C:/x", kInvalid, {0, u"C:\\x"}, "without '/' the path is relative on POSIX"},
        {u"file://server/share/x", kInvalid, {0, u"\\\\server\\share\\x"},
         "a remote host becomes a network path on Windows only"},
        {u"file:///home/a%5Cb", {0, u"/home/a\\b"}, {0, u"\\home\\a\\b"},
         "a backslash is a separator on Windows and a name character on POSIX"},
        {u"file:///home/a%00b", kInvalid, {0, u"\\home\\a"},
         "an escaped NUL would name another file; POSIX refuses it, Windows cuts there"},
        {u"file:///home/%E9.mov", kInvalid, {0, u"\\home\\\u00E9.mov"},
         "escapes that are not UTF-8 name no file that UTF-16 text can reach on POSIX"},
        {u"file:", kInvalid, {0, u""}, "an empty path names no file on POSIX"},
    };
    // Path lengths around the 260-unit buffer, its NUL included.
    for (size_t length : {259u, 260u, 261u}) {
        const std::u16string name = repeated(u'a', length - 1);
        const bool fits = length < kCapacity;
        table.push_back({u"file:///" + name, fits ? Conversion{0, u"/" + name} : kNoRoom,
                         fits ? Conversion{0, u"\\" + name} : kNoRoom, nullptr});
    }
    return table;
}

std::string printable(const std::u16string& text)
{
    return toUtf8(text);
}

Conversion convertWith(int32_t (*convert)(const std::u16string&, char16_t*, uint32_t),
                       const std::u16string& url)
{
    std::vector<char16_t> out(kCapacity + 1, u'\xCAFE');
    const int32_t code = convert(url, out.data(), kCapacity);
    EXPECT_EQ(out[kCapacity], u'\xCAFE') << "wrote past the capacity";
    if (code < 0)
        return {code, u""};
    return {code, std::u16string(out.data())};
}

void expectConversion(const Conversion& actual, const Conversion& expected)
{
    EXPECT_EQ(actual.code, expected.code);
    EXPECT_EQ(printable(actual.path), printable(expected.path));
}

TEST(FileUrl, PosixRulesOnEveryBuild)
{
    for (const UrlCase& row : urlTable()) {
        SCOPED_TRACE(printable(row.url).substr(0, 40));
        expectConversion(convertWith(posixPathFromFileUrl, row.url), row.posix);
    }
}

// On Windows this is the shell's own conversion.
TEST(FileUrl, PlatformConversionFollowsItsPlatformsColumn)
{
    for (const UrlCase& row : urlTable()) {
        SCOPED_TRACE(printable(row.url).substr(0, 40));
        expectConversion(convertWith(Platform::pathFromUrl, row.url),
                         Testing::kWindows ? row.windows : row.posix);
    }
}

// The two platforms agree wherever an input means the same on both: both
// refuse it alike, or both give the same path up to the separator.
TEST(FileUrl, PlatformsAgreeExceptWhereTheMeaningDiffers)
{
    for (const UrlCase& row : urlTable()) {
        std::u16string windowsPath = row.windows.path;
        std::replace(windowsPath.begin(), windowsPath.end(), u'\\', u'/');
        const bool agree = row.posix.code == row.windows.code && row.posix.path == windowsPath;
        EXPECT_EQ(agree, row.differsBecause == nullptr) << printable(row.url).substr(0, 40);
    }
}

TEST(FileUrl, ReportsNoRoomForTinyBuffers)
{
    char16_t out[4] = {u'x', u'x', u'x', u'x'};
    EXPECT_EQ(posixPathFromFileUrl(u"file:///ab", out, 3), kUrlNoRoom);
    EXPECT_EQ(posixPathFromFileUrl(u"file:///ab", out, 4), kUrlOk);
    EXPECT_EQ(std::u16string(out), u"/ab");
}

} // namespace
} // namespace Qel
