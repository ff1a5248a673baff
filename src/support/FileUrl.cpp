#include "support/FileUrl.h"

#include <algorithm>
#include <optional>

#include "support/TextConversion.h"

namespace Qel {

namespace {

char16_t lowerAscii(char16_t c)
{
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

bool equalsIgnoringCase(std::u16string_view text, std::u16string_view lowerCase)
{
    return text.size() == lowerCase.size()
           && std::equal(text.begin(), text.end(), lowerCase.begin(),
                         [](char16_t a, char16_t b) { return lowerAscii(a) == b; });
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The URL's path part: after "file:" either "//host/path" with an empty or
// local host, or "/path". Anything else is not an absolute local file URL.
std::optional<std::u16string_view> localPathPart(std::u16string_view url)
{
    constexpr std::u16string_view scheme = u"file:";
    if (url.size() < scheme.size() || !equalsIgnoringCase(url.substr(0, scheme.size()), scheme))
        return std::nullopt;
    std::u16string_view rest = url.substr(scheme.size());
    if (rest.substr(0, 2) == u"//") {
        rest.remove_prefix(2);
        const size_t hostEnd = std::min(rest.find(u'/'), rest.size());
        const std::u16string_view host = rest.substr(0, hostEnd);
        if (!host.empty() && !equalsIgnoringCase(host, u"localhost"))
            return std::nullopt;
        rest.remove_prefix(hostEnd);
    }
    if (rest.empty() || rest.front() != u'/')
        return std::nullopt;
    return rest;
}

// Decodes %XX escapes byte-wise; a '%' without two hex digits stays as it is.
std::string percentDecoded(const std::string& text)
{
    std::string decoded;
    decoded.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0
            && hexValue(text[i + 2]) >= 0) {
            decoded.push_back(static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2])));
            i += 2;
        } else {
            decoded.push_back(text[i]);
        }
    }
    return decoded;
}

} // namespace

int32_t posixPathFromFileUrl(const std::u16string& url, char16_t* out, uint32_t capacity)
{
    const std::optional<std::u16string_view> pathPart = localPathPart(url);
    if (!pathPart)
        return kUrlInvalid;
    // Escapes are decoded on the UTF-8 form so that an escaped multi-byte
    // sequence becomes one character. Text that is not valid UTF-16, escapes
    // that are not valid UTF-8, and an escaped NUL name no file.
    const std::u16string text(*pathPart);
    const std::string utf8 = toUtf8(text);
    if (utf8.empty())
        return kUrlInvalid;
    const std::string bytes = percentDecoded(utf8);
    if (bytes.find('\0') != std::string::npos)
        return kUrlInvalid;
    const std::u16string path = toWide(bytes);
    if (path.empty())
        return kUrlInvalid;
    if (path.size() >= capacity)
        return kUrlNoRoom;
    std::copy(path.begin(), path.end(), out);
    out[path.size()] = u'\0';
    return kUrlOk;
}

} // namespace Qel
